#include "monitor/text_monitor.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

#include "debug/disassembly_table.h"
#include "debug/hex_text.h"
#include "debug/screen_text.h"
#include "media/file_replace.h"
#include "files/message_text.h"
#include "media/media_file.h"
#include "monitor/assembler.h"
#include "monitor/labels.h"
#include "monitor/monitor.h"
#include "platform/platform.h"
#include "session/session.h"

namespace quillon {
namespace {

constexpr int MemoryLineBytes = 16;
constexpr int MemoryLines = 8;
constexpr int DisassemblyLines = 12;
constexpr int HuntHitsPerLine = 8;
constexpr std::size_t RegisterColumn = 34;
// A program file holds its load address and at most the whole address space.
constexpr std::size_t LargestFile = 2 + 65536;

struct TextMonitorState {
  std::string Output;
  void (*Written)() = nullptr;
  MemoryBank Bank = MemoryBank::CpuView;
  std::uint16_t NextMemory = 0;
  // Where "d" goes on; after a stop it starts at the program counter.
  std::uint16_t NextDisassembly = 0;
  bool DisassemblyAtPC = true;
  bool Assembling = false;
  std::uint16_t AssembleAt = 0;
};
TextMonitorState Text;

std::string Hex(unsigned value, int digits) {
  char text[8];
  return std::string(text, PutHex(text, value, digits));
}

void Say(const std::string& line) { Text.Output += line + "\n"; }
void Complain(const std::string& problem) { Say("? " + problem); }

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// The words of a line: blanks part them, and a "quoted text" is one word, quotes kept.
std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    if (std::isspace(static_cast<unsigned char>(line[i]))) {
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    if (line[i] == '"') {
      end = std::min(line.find('"', i + 1), line.size() - 1) + 1;
    } else {
      while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end]))) ++end;
    }
    words.emplace_back(line.substr(i, end - i));
    i = end;
  }
  return words;
}

bool IsQuoted(const std::string& word) { return word.size() >= 2 && word.front() == '"'; }

// A word without its quotes: a file name.
std::string Unquoted(const std::string& word) {
  if (!IsQuoted(word)) return word;
  return word.substr(1, word.back() == '"' ? word.size() - 2 : word.size() - 1);
}

bool Value(const std::string& word, std::uint32_t limit, std::uint32_t& value) {
  if (ParseValue(word, FindLabel, value) && value <= limit) return true;
  Complain(QuoteForMessage(word) + " is no " +
           (limit == 0xFF     ? "byte"
            : limit == 0xFFFF ? "address"
                              : "number"));
  return false;
}

bool Address(const std::string& word, std::uint16_t& address) {
  std::uint32_t value = 0;
  if (!Value(word, 0xFFFF, value)) return false;
  address = static_cast<std::uint16_t>(value);
  return true;
}

// Bytes given as values and "texts" from words[first] on.
bool Bytes(const std::vector<std::string>& words, std::size_t first,
           std::vector<std::uint8_t>& bytes) {
  for (std::size_t i = first; i < words.size(); ++i) {
    if (IsQuoted(words[i])) {
      const std::string text = Unquoted(words[i]);
      bytes.insert(bytes.end(), text.begin(), text.end());
      continue;
    }
    std::uint32_t value = 0;
    if (!Value(words[i], 0xFF, value)) return false;
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  if (bytes.empty()) Complain("which bytes?");
  return !bytes.empty();
}

std::uint8_t Read(std::uint16_t address) {
  return CurrentMachine().ReadMemory(Text.Bank, address, false);
}

void Write(std::uint16_t address, std::uint8_t value) {
  CurrentMachine().WriteMemory(Text.Bank, address, value, true);
}

std::string FlagsText(std::uint8_t p) {
  std::string flags = "NV-BDIZC";
  for (int bit = 0; bit < 8; ++bit) {
    if (bit != 2 && !(p & (0x80 >> bit))) flags[static_cast<std::size_t>(bit)] = '.';
  }
  return flags;
}

std::string RegisterText(const CpuRegisterFile& r) {
  return "A:" + Hex(r.A, 2) + " X:" + Hex(r.X, 2) + " Y:" + Hex(r.Y, 2) + " SP:" + Hex(r.SP, 2) +
         " FL:" + Hex(r.P, 2) + " " + FlagsText(r.P);
}

// An instruction as "d" shows it; returns its length.
int InstructionLine(std::uint16_t address, std::string& line) {
  const std::uint8_t bytes[3] = {Read(address), Read(static_cast<std::uint16_t>(address + 1)),
                                 Read(static_cast<std::uint16_t>(address + 2))};
  const Disassembly d = DisassembleBytes(address, bytes, {true, LabelAt});
  line = Hex(address, 4) + " ";
  for (int i = 0; i < 3; ++i) {
    line += ' ';
    line += i < d.Length ? Hex(d.Bytes[i], 2) : "  ";
  }
  line += "  ";
  line += d.Text;
  return d.Length;
}

void SayStopLine() {
  const CpuRegisterFile r = CurrentMachine().Registers();
  std::string line;
  InstructionLine(r.PC, line);
  line.resize(std::max(line.size() + 1, RegisterColumn), ' ');
  Say(line + RegisterText(r));
}

std::string CheckpointText(const Checkpoint& c) {
  std::string kinds;
  for (const auto& [bit, name] :
       {std::pair{CheckLoad, "load"}, {CheckStore, "store"}, {CheckExec, "exec"}}) {
    if (!(c.Operations & bit)) continue;
    if (!kinds.empty()) kinds += '+';
    kinds += name;
  }
  std::string text(1, '#');
  text += std::to_string(c.Number) + ' ' + kinds + " $" + Hex(c.Start, 4);
  if (c.End != c.Start) text += "-$" + Hex(c.End, 4);
  return text;
}

void ListCheckpoints() {
  if (CheckpointList().empty()) Say("no checkpoints");
  for (const Checkpoint& c : CheckpointList()) {
    std::string text = CheckpointText(c) + "  hits " + std::to_string(c.HitCount);
    if (c.IgnoreCount > 0) text += ", ignore " + std::to_string(c.IgnoreCount);
    if (!c.Stop) text += ", counts only";
    if (c.Temporary) text += ", temporary";
    if (!c.Enabled) text += ", disabled";
    if (c.HasCondition) text += ", if " + c.ConditionText;
    Say(text);
  }
}

void OnStopped(const MonitorStop& stop) {
  for (int i = 0; i < stop.Hits.Count; ++i) {
    if (const Checkpoint* c = FindCheckpoint(stop.Hits.Numbers[i]))
      Say("stop on " + CheckpointText(*c));
  }
  if (stop.Why == MonitorStop::Cause::Jam) Say("the processor is jammed at $" + Hex(stop.PC, 4));
  SayStopLine();
  Text.DisassemblyAtPC = true;
  if (Text.Written != nullptr) Text.Written();
}

void OnResumed(std::uint16_t) { Text.DisassemblyAtPC = true; }

// --- Commands ---

using WordList = std::vector<std::string>;

// The 8-bit register of a name, or null.
std::uint8_t* RegisterField(CpuRegisterFile& r, const std::string& name) {
  if (name == "a") return &r.A;
  if (name == "x") return &r.X;
  if (name == "y") return &r.Y;
  if (name == "sp") return &r.SP;
  if (name == "fl") return &r.P;
  return nullptr;
}

void Registers(const WordList& words, const std::string& line) {
  Machine& machine = CurrentMachine();
  CpuRegisterFile r = machine.Registers();
  // "A=20 X = 5, PC=C000": blanks around "=" dropped, commas as blanks, then one assignment a
  // word.
  std::string assignments;
  const std::string rest = line.substr(line.find(words[0]) + words[0].size());
  for (std::size_t i = 0; i < rest.size(); ++i) {
    const bool blank = std::isspace(static_cast<unsigned char>(rest[i])) || rest[i] == ',';
    const std::size_t next = rest.find_first_not_of(" \t,", i);
    if (blank && ((next != std::string::npos && rest[next] == '=') ||
                  (!assignments.empty() && assignments.back() == '='))) {
      continue;
    }
    assignments += blank ? ' ' : rest[i];
  }
  for (const std::string& assignment : Words(assignments)) {
    const std::size_t equals = assignment.find('=');
    const std::string name = Lower(assignment.substr(0, equals));
    std::uint32_t value = 0;
    if (equals == std::string::npos) {
      Complain("REGISTER=VALUE expected, not " + QuoteForMessage(assignment));
      return;
    }
    std::uint8_t* field = RegisterField(r, name);
    if (field == nullptr && name != "pc") {
      Complain(QuoteForMessage(name) + " is no register (A X Y PC SP FL)");
      return;
    }
    if (!Value(assignment.substr(equals + 1), field == nullptr ? 0xFFFF : 0xFF, value)) return;
    if (field != nullptr) {
      *field = static_cast<std::uint8_t>(value);
    } else {
      r.PC = static_cast<std::uint16_t>(value);
    }
  }
  if (words.size() > 1) {
    machine.SetRegisters(r);
    Text.DisassemblyAtPC = true;
  }
  Say("PC:" + Hex(r.PC, 4) + " " + RegisterText(r));
}

// START [END] from words[1], with `count` units from START when END is missing.
bool Range(const WordList& words, std::uint16_t from, std::uint16_t& start, std::uint16_t& end,
           unsigned span) {
  start = from;
  if (words.size() > 1 && !Address(words[1], start)) return false;
  if (words.size() > 2) {
    if (!Address(words[2], end)) return false;
    if (end < start) {
      Complain("the end lies before the start");
      return false;
    }
    return true;
  }
  end = static_cast<std::uint16_t>(std::min<unsigned>(start + span - 1, 0xFFFF));
  return true;
}

void Memory(const WordList& words) {
  std::uint16_t start = 0;
  std::uint16_t end = 0;
  if (!Range(words, Text.NextMemory, start, end, MemoryLineBytes * MemoryLines)) return;
  for (unsigned line = start; line <= end; line += MemoryLineBytes) {
    std::string hex = Hex(line, 4) + " ";
    std::string text;
    for (unsigned a = line; a < line + MemoryLineBytes; ++a) {
      if (a > end) {
        hex += "   ";
        continue;
      }
      const std::uint8_t byte = Read(static_cast<std::uint16_t>(a));
      hex += ' ';
      hex += Hex(byte, 2);
      text += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
    }
    Say(hex + "  |" + text + "|");
  }
  Text.NextMemory = static_cast<std::uint16_t>(end + 1);
}

void Disassemble(const WordList& words) {
  const std::uint16_t from =
      Text.DisassemblyAtPC ? CurrentMachine().Registers().PC : Text.NextDisassembly;
  std::uint16_t start = 0;
  std::uint16_t end = 0;
  if (!Range(words, from, start, end, 0)) return;
  const bool counted = words.size() <= 2;
  unsigned address = start;
  for (int lines = 0; counted ? lines < DisassemblyLines : address <= end; ++lines) {
    if (const char* label = LabelAt(static_cast<std::uint16_t>(address)))
      Say(std::string(label) + ":");
    std::string line;
    address += static_cast<unsigned>(InstructionLine(static_cast<std::uint16_t>(address), line));
    Say(line);
    if (address > 0xFFFF) break;
  }
  Text.NextDisassembly = static_cast<std::uint16_t>(address);
  Text.DisassemblyAtPC = false;
}

void AssembleAt(const std::string& instruction) {
  std::vector<std::uint8_t> bytes;
  const std::string error = AssembleLine(instruction, Text.AssembleAt, FindLabel, bytes);
  if (!error.empty()) {
    Complain(error);
    return;
  }
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    Write(static_cast<std::uint16_t>(Text.AssembleAt + i), bytes[i]);
  }
  std::string line;
  InstructionLine(Text.AssembleAt, line);
  Say(line);
  Text.AssembleAt = static_cast<std::uint16_t>(Text.AssembleAt + bytes.size());
}

void Assemble(const WordList& words, const std::string& line) {
  if (words.size() < 2) {
    Complain("a needs an address");
    return;
  }
  if (!Address(words[1], Text.AssembleAt)) return;
  Text.Assembling = true;
  const std::size_t rest = line.find(words[1]) + words[1].size();
  if (words.size() > 2) AssembleAt(line.substr(rest));
}

void WriteBytes(const WordList& words) {
  std::uint16_t address = 0;
  std::vector<std::uint8_t> bytes;
  if (words.size() < 2 || !Address(words[1], address) || !Bytes(words, 2, bytes)) return;
  for (const std::uint8_t byte : bytes) Write(address++, byte);
}

void FillOrHunt(const WordList& words, bool hunt) {
  std::uint16_t start = 0;
  std::uint16_t end = 0;
  std::vector<std::uint8_t> bytes;
  if (words.size() < 4) {
    Complain(words[0] + " needs START END BYTE...");
    return;
  }
  if (!Range(words, 0, start, end, 0) || !Bytes(words, 3, bytes)) return;
  if (!hunt) {
    for (unsigned a = start, i = 0; a <= end; ++a, ++i)
      Write(static_cast<std::uint16_t>(a), bytes[i % bytes.size()]);
    return;
  }
  std::string hits;
  int count = 0;
  for (unsigned a = start; a + bytes.size() - 1 <= end; ++a) {
    bool match = true;
    for (std::size_t i = 0; i < bytes.size() && match; ++i) {
      match = Read(static_cast<std::uint16_t>(a + i)) == bytes[i];
    }
    if (!match) continue;
    if (!hits.empty()) hits += ' ';
    hits += Hex(a, 4);
    if (++count % HuntHitsPerLine == 0) {
      Say(hits);
      hits.clear();
    }
  }
  if (!hits.empty()) Say(hits);
  if (count == 0) Say("not found");
}

void Bank(const WordList& words) {
  if (words.size() > 1) {
    const auto found =
        std::find_if(std::begin(MonitorBanks), std::end(MonitorBanks),
                     [&words](const MonitorBankName& b) { return Lower(words[1]) == b.Name; });
    if (found == std::end(MonitorBanks)) {
      Complain("the banks are cpu, ram, rom and io");
      return;
    }
    Text.Bank = found->Bank;
  }
  for (const MonitorBankName& b : MonitorBanks) {
    if (b.Bank == Text.Bank) Say(std::string("bank ") + b.Name);
  }
}

// The words before "if", and the condition's text after it.
std::size_t SplitCondition(const WordList& words, const std::string& line, std::string& condition) {
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (Lower(words[i]) != "if") continue;
    const std::string lower = Lower(line);
    std::size_t at = lower.find(" if ");
    condition = at == std::string::npos ? "" : line.substr(at + 4);
    return i;
  }
  return words.size();
}

bool SetCondition(Checkpoint& c, const std::string& text) {
  const std::string error = CompileCondition(text, FindLabel, c.Test);
  if (!error.empty()) {
    Complain(error);
    return false;
  }
  c.HasCondition = true;
  c.ConditionText = text;
  return true;
}

void AddCheckpointCommand(const WordList& all, const std::string& line, std::uint8_t operations) {
  std::string condition;
  const std::size_t conditionAt = SplitCondition(all, line, condition);
  const WordList words(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(conditionAt));
  std::size_t first = 1;
  if (operations != CheckExec && words.size() > 1) {
    const std::string kind = Lower(words[1]);
    if (kind == "load" || kind == "store") {
      operations = kind == "load" ? CheckLoad : CheckStore;
      first = 2;
    }
  }
  if (words.size() <= first) {
    if (operations == CheckExec && all.size() == 1) {
      ListCheckpoints();
    } else {
      Complain(all[0] + " needs an address");
    }
    return;
  }
  std::uint16_t start = 0;
  std::uint16_t end = 0;
  if (!Address(words[first], start)) return;
  end = start;
  if (words.size() > first + 1 && !Address(words[first + 1], end)) return;
  if (end < start) {
    Complain("the end lies before the start");
    return;
  }
  Condition test{};
  const bool conditional = conditionAt < all.size();
  if (conditional) {
    const std::string error = CompileCondition(condition, FindLabel, test);
    if (!error.empty()) {
      Complain(error);
      return;
    }
  }
  Checkpoint& c = AddCheckpoint(start, end, operations, true, true, false, MonitorClient::Text);
  c.HasCondition = conditional;
  c.Test = test;
  c.ConditionText = condition;
  Say(CheckpointText(c));
}

Checkpoint* NumberedCheckpoint(const WordList& words) {
  std::uint32_t number = 0;
  if (words.size() < 2 || !ParseValue(words[1], nullptr, number)) {
    Complain(words[0] + " needs a checkpoint number");
    return nullptr;
  }
  Checkpoint* c = FindCheckpoint(number);
  if (c == nullptr) Complain("there is no checkpoint #" + words[1]);
  return c;
}

void CheckpointCommand(const WordList& words, const std::string& line) {
  const std::string command = Lower(words[0]);
  if (command == "del" && words.size() == 1) {
    for (const MonitorClient client : {MonitorClient::Text, MonitorClient::Remote})
      DeleteCheckpointsOf(client);
    return;
  }
  Checkpoint* c = NumberedCheckpoint(words);
  if (c == nullptr) return;
  if (command == "del") {
    DeleteCheckpoint(c->Number);
  } else if (command == "enable" || command == "disable") {
    c->Enabled = command == "enable";
    CheckpointsChanged();
  } else if (command == "ignore") {
    std::uint32_t count = 0;
    if (words.size() < 3 || !Value(words[2], 0xFFFFFFFF, count)) return;
    c->IgnoreCount = count;
  } else {
    // cond N [if] CONDITION
    const std::size_t number = line.find(words[1], line.find(words[0]) + words[0].size());
    std::string text = line.substr(number + words[1].size());
    const std::size_t first = text.find_first_not_of(" \t");
    text = first == std::string::npos ? "" : text.substr(first);
    if (Lower(text.substr(0, 3)) == "if ") text = text.substr(3);
    if (text.empty()) {
      c->HasCondition = false;
      c->ConditionText.clear();
      return;
    }
    SetCondition(*c, text);
  }
}

void Step(const WordList& words, bool over) {
  std::uint32_t count = 1;
  if (words.size() > 1 && !Value(words[1], 0xFFFFFFFF, count)) return;
  MonitorStep(count, over);
}

void Go(const WordList& words) {
  if (words.size() > 1) {
    std::uint16_t address = 0;
    if (!Address(words[1], address)) return;
    Machine& machine = CurrentMachine();
    CpuRegisterFile r = machine.Registers();
    r.PC = address;
    machine.SetRegisters(r);
  }
  MonitorResume();
}

void Until(const WordList& words) {
  std::uint16_t address = 0;
  if (words.size() < 2 || !Address(words[1], address)) {
    if (words.size() < 2) Complain("until needs an address");
    return;
  }
  AddCheckpoint(address, address, CheckExec, true, true, true, MonitorClient::Text);
  MonitorResume();
}

void Load(const WordList& words) {
  std::vector<std::uint8_t> bytes;
  if (words.size() < 2) {
    Complain("l needs a file name");
    return;
  }
  const std::string path = Unquoted(words[1]);
  if (!ReadMediaFile(path.c_str(), LargestFile, bytes)) {
    Complain("cannot read " + QuoteForMessage(path));
    return;
  }
  // A program file: its load address, then its bytes, which ADDRESS moves elsewhere.
  constexpr std::size_t skip = 2;
  std::uint16_t address = 0;
  if (bytes.size() >= skip) address = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
  if (words.size() > 2 && !Address(words[2], address)) return;
  if (bytes.size() <= skip) {
    Complain(QuoteForMessage(path) + " holds nothing to load");
    return;
  }
  Machine& machine = CurrentMachine();
  for (std::size_t i = skip; i < bytes.size(); ++i) {
    machine.WriteMemory(Text.Bank, static_cast<std::uint16_t>(address + i - skip), bytes[i], false);
  }
  Say("loaded $" + Hex(address, 4) + "-$" + Hex((address + bytes.size() - skip - 1) & 0xFFFF, 4));
}

void Save(const WordList& words) {
  std::uint16_t start = 0;
  std::uint16_t end = 0;
  if (words.size() < 4) {
    Complain("s needs \"FILE\" START END");
    return;
  }
  if (!Address(words[2], start) || !Address(words[3], end)) return;
  if (end < start) {
    Complain("the end lies before the start");
    return;
  }
  std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(start),
                                     static_cast<std::uint8_t>(start >> 8)};
  for (unsigned a = start; a <= end; ++a) bytes.push_back(Read(static_cast<std::uint16_t>(a)));
  const std::string error = ReplaceFile(Unquoted(words[1]), bytes.data(), bytes.size());
  if (!error.empty()) {
    Complain(error);
    return;
  }
  Say("saved $" + Hex(start, 4) + "-$" + Hex(end, 4));
}

void Labels(const WordList& words) {
  if (Lower(words[0]) == "al") {
    std::uint16_t address = 0;
    if (words.size() < 3) {
      Complain("al needs ADDRESS .NAME");
    } else if (Address(words[1], address) && !AddLabel(words[2], address)) {
      Complain(QuoteForMessage(words[2]) + " is no name");
    }
    return;
  }
  if (words.size() < 2) {
    Complain("ll needs a file name");
    return;
  }
  std::size_t added = 0;
  std::vector<std::string> problems;
  const bool read = LoadLabelFile(Unquoted(words[1]), added, problems);
  for (const std::string& problem : problems) Complain(problem);
  if (read) Say(std::to_string(added) + " labels");
}

void Screen() {
  for (const std::string& row : ScreenRows(CurrentMachine().ScreenAddress())) Say(row);
}

void Help() {
  static constexpr const char* Lines[] = {
      "r [REG=VALUE ...]      registers (A X Y PC SP FL)",
      "m [START [END]]        memory",
      "d [START [END]]        disassembly",
      "a ADDRESS [INSTR]      assemble until an empty line",
      "> ADDRESS BYTE...      write bytes",
      "f START END BYTE...    fill",
      "h START END BYTE...    hunt",
      "bank [cpu|ram|rom|io]  the bank memory commands use",
      "b [START [END]] [if COND]              breakpoint; alone, the checkpoints",
      "w [load|store] START [END] [if COND]   watchpoint",
      "until ADDRESS          temporary breakpoint, and go",
      "del [N], enable N, disable N, ignore N COUNT, cond N [if] COND",
      "z [COUNT], n [COUNT], ret   step, step over, run until return",
      "g [ADDRESS], x         go; leave the monitor",
      "l \"FILE\" [ADDRESS], s \"FILE\" START END   load, save a program file",
      "ll \"FILE\", al ADDRESS .NAME                labels",
      "screen, reset, quit, help",
      "Numbers are hex ($ may lead them, + leads a decimal one); .NAME is a label.",
  };
  for (const char* line : Lines) Say(line);
}

struct Command {
  const char* Name;
  void (*Run)(const WordList& words, const std::string& line);
};

constexpr Command Commands[] = {
    {"r", Registers},
    {"m", [](const WordList& w, const std::string&) { Memory(w); }},
    {"d", [](const WordList& w, const std::string&) { Disassemble(w); }},
    {"a", Assemble},
    {">", [](const WordList& w, const std::string&) { WriteBytes(w); }},
    {"f", [](const WordList& w, const std::string&) { FillOrHunt(w, false); }},
    {"h", [](const WordList& w, const std::string&) { FillOrHunt(w, true); }},
    {"bank", [](const WordList& w, const std::string&) { Bank(w); }},
    {"b", [](const WordList& w, const std::string& l) { AddCheckpointCommand(w, l, CheckExec); }},
    {"w", [](const WordList& w,
             const std::string& l) { AddCheckpointCommand(w, l, CheckLoad | CheckStore); }},
    {"until", [](const WordList& w, const std::string&) { Until(w); }},
    {"del", CheckpointCommand},
    {"enable", CheckpointCommand},
    {"disable", CheckpointCommand},
    {"ignore", CheckpointCommand},
    {"cond", CheckpointCommand},
    {"z", [](const WordList& w, const std::string&) { Step(w, false); }},
    {"n", [](const WordList& w, const std::string&) { Step(w, true); }},
    {"ret", [](const WordList&, const std::string&) { MonitorRunUntilReturn(); }},
    {"g", [](const WordList& w, const std::string&) { Go(w); }},
    {"x", [](const WordList&, const std::string&) { MonitorResume(); }},
    {"l", [](const WordList& w, const std::string&) { Load(w); }},
    {"s", [](const WordList& w, const std::string&) { Save(w); }},
    {"ll", [](const WordList& w, const std::string&) { Labels(w); }},
    {"al", [](const WordList& w, const std::string&) { Labels(w); }},
    {"screen", [](const WordList&, const std::string&) { Screen(); }},
    {"reset",
     [](const WordList&, const std::string&) {
       MonitorResetMachine();
       Text.DisassemblyAtPC = true;
       SayStopLine();
     }},
    {"quit", [](const WordList&, const std::string&) { Platform.DestroyMainWindow(); }},
    {"help", [](const WordList&, const std::string&) { Help(); }},
    {"?", [](const WordList&, const std::string&) { Help(); }},
};

}  // namespace

void AttachTextMonitor(void (*poll)(), void (*written)()) {
  Text.Written = written;
  AttachMonitorFrontEnd(MonitorClient::Text, {OnStopped, OnResumed, poll});
  MonitorHold();
}

void DetachTextMonitor() {
  DetachMonitorFrontEnd(MonitorClient::Text);
  Text = TextMonitorState{};
}

void TextMonitorLine(const std::string& input) {
  std::string line = input;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  MonitorHold();
  if (Text.Assembling) {
    if (line.find_first_not_of(" \t") == std::string::npos) {
      Text.Assembling = false;
    } else {
      AssembleAt(line);
    }
    if (Text.Written != nullptr) Text.Written();
    return;
  }
  // ">C000 01 02" as "> C000 01 02".
  const std::size_t first = line.find_first_not_of(" \t");
  if (first != std::string::npos && line[first] == '>') line.insert(first + 1, 1, ' ');
  const WordList words = Words(line);
  if (!words.empty()) {
    const std::string name = Lower(words[0]);
    const auto command = std::find_if(std::begin(Commands), std::end(Commands),
                                      [&name](const Command& c) { return name == c.Name; });
    if (command == std::end(Commands)) {
      Complain("unknown command " + QuoteForMessage(words[0]) + " (help lists them)");
    } else {
      command->Run(words, line);
    }
  }
  if (Text.Written != nullptr) Text.Written();
}

std::string TakeTextMonitorOutput() {
  std::string output;
  output.swap(Text.Output);
  return output;
}

std::string TextMonitorPrompt() {
  std::string prompt(1, Text.Assembling ? '.' : '(');
  prompt += Hex(Text.Assembling ? Text.AssembleAt : CurrentMachine().Registers().PC, 4);
  prompt += Text.Assembling ? " " : ") ";
  return prompt;
}

}  // namespace quillon

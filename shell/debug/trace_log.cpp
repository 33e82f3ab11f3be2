#include "debug/trace_log.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "debug/disassembly_table.h"
#include "debug/fetch_hooks.h"
#include "debug/hex_text.h"
#include "media/utf8_path.h"
#include "session/session.h"

namespace quillon {
namespace {

// Lines are put together in the buffer and written in large blocks.
constexpr std::size_t BufferSize = 1 << 16;
constexpr std::size_t LongestLine = 128;

struct TraceLogState {
  std::FILE* File = nullptr;
  std::string Path;
  bool Failed = false;
  std::size_t Used = 0;
  char Buffer[BufferSize];
};
TraceLogState Log;

char* PutText(char* out, const char* text) {
  while (*text != '\0') *out++ = *text++;
  return out;
}

char* PutBlanks(char* out, long count) {
  for (; count > 0; --count) *out++ = ' ';
  return out;
}

// The step count right-aligned in ten columns (more when it needs them).
char* PutCycles(char* out, std::uint64_t cycles) {
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + cycles % 10);
    cycles /= 10;
  } while (cycles != 0);
  out = PutBlanks(out, 10 - count);
  while (count > 0) *out++ = digits[--count];
  return out;
}

char* PutRegister(char* out, const char* name, std::uint8_t value) {
  out = PutText(out, name);
  return PutHex(out, value, 2);
}

// The instruction at the program counter, its bytes read without acting on the chips: logging
// never changes what it logs.
char* FormatLine(char* out) {
  const Machine& machine = CurrentMachine();
  const CpuRegisterFile cpu = machine.Registers();
  const Disassembly instruction = Disassemble(cpu.PC, machine);
  out = PutCycles(out, machine.Clock());
  out = PutBlanks(out, 2);
  out = PutHex(out, cpu.PC, 4);
  out = PutBlanks(out, 2);
  char* bytes = out;
  for (int i = 0; i < instruction.Length; ++i) {
    if (i > 0) *out++ = ' ';
    out = PutHex(out, instruction.Bytes[i], 2);
  }
  out = PutBlanks(out, 10 - (out - bytes));
  char* text = out;
  out = PutText(out, instruction.Text);
  out = PutBlanks(out, 13 - (out - text));
  out = PutRegister(out, "A:", cpu.A);
  out = PutRegister(out, " X:", cpu.X);
  out = PutRegister(out, " Y:", cpu.Y);
  out = PutRegister(out, " P:", cpu.P);
  return PutRegister(out, " SP:", cpu.SP);
}

void WriteBuffer() {
  if (Log.Used > 0 && std::fwrite(Log.Buffer, 1, Log.Used, Log.File) != Log.Used) Log.Failed = true;
  Log.Used = 0;
}

bool LogInstruction() {
  if (Log.Used > BufferSize - LongestLine) WriteBuffer();
  char* end = FormatLine(Log.Buffer + Log.Used);
  *end++ = '\n';
  Log.Used = static_cast<std::size_t>(end - Log.Buffer);
  return true;
}

}  // namespace

std::string TraceLogOpen(const std::string& path) {
  TraceLogClose();
  std::FILE* file = path == "-" ? stdout : OpenUtf8File(path, "wb");
  if (file == nullptr) {
    return "cannot write the trace log to '" + path + "': " + std::strerror(errno);
  }
  Log.File = file;
  Log.Path = path;
  Log.Failed = false;
  Log.Used = 0;
  SetFetchHook(FetchHookSlot::TraceLog, LogInstruction);
  return "";
}

std::string TraceLogClose() {
  if (Log.File == nullptr) return "";
  SetFetchHook(FetchHookSlot::TraceLog, nullptr);
  WriteBuffer();
  if (std::fflush(Log.File) != 0) Log.Failed = true;
  if (Log.File != stdout && std::fclose(Log.File) != 0) Log.Failed = true;
  Log.File = nullptr;
  return Log.Failed ? "cannot write the whole trace log to '" + Log.Path + "'" : "";
}

std::string TraceLogLine() {
  char line[LongestLine];
  return std::string(line, FormatLine(line));
}

}  // namespace quillon

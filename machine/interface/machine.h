// The machine as the shell sees it. Every machine model implements this one interface, so the
// window, the command line, snapshots, the debugging tools and the tests drive each model the
// same way; a model keeps its chips to itself. Nothing here is called per cycle: a call runs a
// frame, an instruction or a cycle, or reads or changes the machine between runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "interface/keyboard_scans.h"
#include "interface/picture.h"
#include "interface/snapshot_stream.h"
#include "media/media_file.h"

namespace quillon {

enum class MachineModel : std::uint8_t { Classic, Accurate };

// The SID chips a C64 came with: the NMOS 6581 of the first machines and the HMOS 8580 of the
// C64C.
enum class SidChip : std::uint8_t { Mos6581, Mos8580 };

// The window runs every model at fifty frames a second of real time, PAL and NTSC alike.
inline constexpr int LiveFramesPerSecond = 50;
// The most samples one sound tick hands over.
inline constexpr std::size_t SoundTickMaxSamples = 4096;

// The 6510's registers as a program sees them between two instructions.
struct CpuRegisterFile {
  std::uint8_t A;
  std::uint8_t X;
  std::uint8_t Y;
  std::uint8_t SP;
  std::uint8_t P;
  std::uint16_t PC;
};

// Views of the address space, for a monitor.
enum class MemoryBank : std::uint8_t {
  CpuView,  // what the processor sees in the present banking
  Ram,      // the 64 KB of RAM, under the ROMs and the I/O area
  Rom,      // BASIC at $A000, the character generator at $D000 and the KERNAL at $E000
            // whatever the banking; RAM elsewhere
  Io,       // the I/O area at $D000-$DFFF whatever the banking; the processor's view elsewhere
};

// What a memory watch watches in a page: the processor's data reads, its data writes, or both.
inline constexpr std::uint8_t WatchLoads = 1;
inline constexpr std::uint8_t WatchStores = 2;

// What the shell keeps inside the machine's keyboard block of a snapshot: the typing still
// queued on its way to the key matrix. Load reads the same fields and checks them, and puts
// them in effect only with `apply`; false when they are damaged.
struct SnapshotKeyboardPart {
  void (*Save)(SnapshotWriter& out);
  bool (*Load)(SnapshotReader& in, bool apply);
};

class Machine {
 public:
  virtual ~Machine() = default;

  virtual MachineModel Model() const = 0;

  // --- Power, reset and the video standard ---
  // Brings the machine to its power-on condition: memory, ROMs, the first hard reset. False
  // when its memory could not be had.
  virtual bool PowerOn() = 0;
  // A hard reset at the next instruction boundary (the reset button, a cartridge attached or
  // removed).
  virtual void RequestReset() = 0;
  virtual bool Pal() const = 0;
  // Switches between PAL and NTSC at any moment; the machine goes on at the new rate.
  virtual void SetPal(bool pal) = 0;
  // Raster lines per frame of the standard in force.
  virtual int LinesPerFrame() const = 0;

  // --- Running ---
  // Runs until `frames` frames have ended, or a stop was requested (the debug exit); returns
  // the frames that ended. While LineFrames is on, every raster line counts as a frame.
  virtual std::int32_t RunFrames(std::int32_t frames) = 0;
  // One clock cycle.
  virtual void StepCycle() = 0;
  // One whole instruction, or into an interrupt handler up to its first instruction.
  virtual void StepInstruction() = 0;
  // Every raster line counts as a frame (slow motion, one line per frame of the pacing).
  virtual void SetLineFrames(bool on) = 0;
  // Cycles since power-on.
  virtual std::uint64_t Clock() const = 0;
  // The cycles run since the last call, taken from any thread (the speed reading).
  virtual std::int32_t TakeCycleCount() = 0;

  // Called at the end of every raster line, after the line is drawn and the counters moved on,
  // with whether the line ended a frame; null for none.
  using LineObserver = void (*)(bool frameEnded);
  virtual void SetLineObserver(LineObserver observer) = 0;
  // Called at every opcode fetch, right after it, with the registers as the fetched instruction
  // finds them and Clock() at the fetch's cycle; null for none. Set between runs only.
  using FetchObserver = void (*)();
  virtual void SetFetchObserver(FetchObserver observer) = 0;

  // The debug exit port at $D7FF: while enabled, a write there ends the run after the writing
  // instruction and its byte becomes the exit status: -1 until a write since the port was last
  // enabled or disabled.
  virtual void EnableDebugExit(bool enabled) = 0;
  virtual std::int32_t DebugExitStatus() const = 0;
  // Whether a run was asked to stop from inside the machine (the debug exit, RequestStop,
  // StopBeforeInstruction); the shell takes the request back.
  virtual bool StopRequested() const = 0;
  virtual void ClearStopRequest() = 0;

  // --- The processor and memory, without side effects ---
  virtual CpuRegisterFile Registers() const = 0;
  virtual void SetRegisters(const CpuRegisterFile& registers) = 0;
  // The byte the processor would read at `address` in the present banking, without acting on
  // the chips.
  virtual std::uint8_t Peek(std::uint16_t address) const = 0;
  // The 64 KB of RAM itself, under the ROMs and the I/O area; loaders and the shell's readers
  // write and read it directly.
  virtual std::uint8_t* Ram() = 0;
  virtual const std::uint8_t* Ram() const = 0;
  // The RAM address of the text screen that the video chip shows.
  virtual std::uint16_t ScreenAddress() const = 0;
  // The character generator ROM, 4 KB: the shell draws its own text with these glyphs.
  virtual const std::uint8_t* CharacterRom() const = 0;

  // --- Stopping, and memory and watches for a monitor ---
  // Ends the run under way at the end of the instruction in progress, as the debug exit does:
  // called during a run, from an observer or a watch hook. RunFrames returns after that
  // instruction, and returns at once while the request stands: StopRequested() is true until
  // ClearStopRequest(). (StepInstruction ends at an instruction's end anyway.)
  virtual void RequestStop() = 0;
  // Called from the fetch observer: ends the run before the instruction just fetched runs. The
  // machine then stands between two instructions, Registers().PC at that instruction, nothing
  // of it done (the cycle of its fetch may have passed: the classic model lets it pass, so the
  // instruction runs a cycle later than it would have). The next run fetches it again and calls
  // the observer for it again. StopRequested() is true as after RequestStop, and a
  // StepInstruction under way ends there, before the instruction.
  virtual void StopBeforeInstruction() = 0;
  // Runs the rest of the instruction under way when the last run ended in the middle of one
  // (RunFrames may end at the cycle that ends its frame, inside an instruction); afterwards the
  // machine stands between two instructions. Does nothing when it stands there already.
  virtual void FinishInstruction() = 0;
  // Whether the processor has halted on a JAM opcode, from which only a reset frees it. A model
  // whose processor has no such state answers false.
  virtual bool Jammed() const = 0;
  // A byte of `bank`. Without side effects the read changes nothing, as Peek. With them it is
  // the processor's read, with its effects on the chips (a read of $DC0D acknowledges CIA 1's
  // interrupt flags); the Ram and Rom banks have none to give. Never handed to a memory watch.
  virtual std::uint8_t ReadMemory(MemoryBank bank, std::uint16_t address, bool sideEffects) = 0;
  // Stores a byte where `bank` shows it. With side effects it is the processor's write, and the
  // chips act on it (the processor port switches the banking). Without, RAM and colour RAM take
  // the byte as it is and the chips' registers are left alone, the processor port's among them
  // (in the Ram bank, $00/$01 are the RAM beneath the port). Where the bank shows ROM, the RAM
  // beneath takes it, as the processor's writes do. Never handed to a memory watch.
  virtual void WriteMemory(MemoryBank bank, std::uint16_t address, std::uint8_t value,
                           bool sideEffects) = 0;
  // Watches the processor's data accesses in chosen pages: `pages` holds 256 entries, one per
  // page of 256 bytes, each WatchLoads, WatchStores, both or 0, and `hook` is called after
  // every read (load) or write (store) of the processor in a page watched for it, with the
  // address, the byte read or written and whether it was a store. Data accesses are the
  // operands' reads and writes (an immediate operand is not one: it is part of the instruction
  // stream), the stack's, the vectors read when an interrupt is taken and, in a model that makes
  // them, the dummy accesses at those addresses; the reads of the instruction stream (opcodes,
  // operand bytes, the reads of the next byte), the video chip's reads and ReadMemory and
  // WriteMemory are not. The hook runs inside the instruction, where Registers() may show it
  // half done: it may call RequestStop() and must not otherwise run or change the machine. The
  // machine copies the pages; null pages or a null hook watch nothing. Set between runs only.
  // Pages left unwatched cost nothing.
  using MemoryWatchHook = void (*)(std::uint16_t address, std::uint8_t value, bool store);
  virtual void SetMemoryWatch(const std::uint8_t* pages, MemoryWatchHook hook) = 0;

  // --- The picture ---
  // The display window, PictureWidth x PictureHeight colour numbers, top row first. The shell
  // draws its own text over it.
  virtual std::uint8_t* Picture() = 0;
  // The border colour of every raster line, BorderTableLines entries.
  virtual const std::uint8_t* LineBorderColors() const = 0;
  // The whole picture with its border, pixel for pixel (BorderedWidth x BorderedHeight colour
  // numbers, top row first), for a model that draws the border as the beam does: opened
  // borders, sprites in them, colour changes within a line. Its display window part holds what
  // the chip drew there, without the shell's text (which goes into Picture() only). Null for a
  // model that draws the border one colour per line (LineBorderColors()).
  virtual const std::uint8_t* BorderedPicture() const = 0;
  // Where the video chip writes the display window instead of Picture(): a surface of the same
  // layout that is shown directly (full screen); null for Picture() itself.
  virtual void SetPictureTarget(std::uint8_t* target) = 0;
  virtual std::uint16_t RasterCompare() const = 0;

  // --- Keyboard and joysticks ---
  // The C64's key matrix: byte c is the column that CIA 1 port A bit c selects, bit r the key on
  // port B bit r; a 0 bit is a held key.
  virtual std::uint8_t* KeyMatrix() = 0;
  // The lines of the joystick in control port 1 or 2: bits 0-4 up, down, left, right, fire,
  // a 1 bit released.
  virtual void SetJoystick(int port, std::uint8_t lines) = 0;
  // RESTORE, which is wired to the NMI line: one press, one NMI.
  virtual void PressRestore() = 0;
  // The levels that hardware on the user port presents on CIA 2's PB0-PB7, which the port reads
  // on its input lines (what a line held low does to an output of the port is the model's to
  // say); $FF, pulled up, with nothing plugged in.
  virtual void SetUserPortLines(std::uint8_t lines) = 0;
  // The keyboard as programs scan it: a scan is a run of reads of CIA 1's port B, the key
  // matrix's rows, each less than KeyboardScanGap cycles after the one before. The typing queue
  // keeps time by them, and changes keys only between scans, so that no scan sees half of a
  // change.
  virtual KeyboardScans KeyboardScanCount() const = 0;

  // --- Media ---
  // Loads a program file (PRG or P00) into RAM and types RUN. False when nothing was loaded.
  virtual bool LoadProgram(const std::string& path) = 0;
  // A cartridge goes in or out with a hard reset, which loads or wipes it.
  virtual void AttachCartridge(const std::string& path) = 0;
  virtual void DetachCartridge() = 0;
  // The file of the cartridge last attached; empty before any.
  virtual const std::string& CartridgePath() const = 0;
  // Drive 8's disk image: an empty string, or a line that says why the file is no image.
  virtual std::string AttachDisk(const std::string& path) = 0;
  virtual void DetachDisk() = 0;
  virtual const std::string& DiskPath() const = 0;

  // --- Sound ---
  virtual std::uint32_t SampleRate() const = 0;
  // Whether the sound plays live or is recorded. Live (the window), the sound ticks every 50 ms
  // of real time on the sound timer's thread while the emulation runs at LiveFramesPerSecond
  // on the main thread. Recorded (headless runs), it ticks on emulated time, on the
  // emulation's own thread between two cycles. Recorded until set; set between runs, with the
  // timer stopped.
  virtual void SetSoundLive(bool live) = 0;
  // One sound tick, a twentieth of a second: the tick's samples, mixed when `mix`; otherwise
  // (paused) the machine's sound stands still and the tick's samples are not to be heard.
  // Called from the thread that ticks the sound. The classic model mixes exactly a twentieth of a second of its
  // voices. A model whose chip makes its samples as it is clocked hands over what the chip has
  // made since the tick before: recorded, every sample of it at the chip's own clock; live,
  // at the pace of the window, at most SoundTickMaxSamples, and a tick of silence when the
  // emulation has made none (a stall) or had to drop some (warp outran the ticks).
  virtual std::span<std::int16_t> SoundTick(bool mix) = 0;
  // The end of a recording that stops between two ticks: the samples of the time since the
  // last tick. The classic model makes `samples` of them, the time at fifty frames a second; a
  // model whose chip keeps its own clock hands over what the chip has made.
  virtual std::span<std::int16_t> SoundTail(std::int32_t samples) = 0;
  // The SID chip of a model that emulates one, which can be changed at any moment: the other
  // chip takes over from the next cycle, its registers and voices as they are. None for the
  // classic model, whose voices are its own, and which ignores the change.
  virtual std::optional<SidChip> SidChipInUse() const = 0;
  virtual void SetSidChip(SidChip chip) = 0;

  // --- Snapshots ---
  // The machine's blocks of a snapshot body, with the shell's keyboard part in the keyboard
  // block.
  virtual void SaveState(SnapshotWriter& out, const SnapshotKeyboardPart& keyboard) = 0;
  // Reads the blocks, checking every value; puts them in effect only when all are sound.
  // Returns an empty string, or what is wrong ("is damaged: its CIA block").
  virtual std::string LoadState(SnapshotReader& in, const SnapshotKeyboardPart& keyboard) = 0;
};

// Whether the KERNAL's screen editor waits for a line to be typed: in its keyboard wait with an
// empty keyboard buffer and the cursor blinking.
bool BasicWaitsForInput(const Machine& machine);

}  // namespace quillon

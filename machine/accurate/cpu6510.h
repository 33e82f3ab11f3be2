// The 6510 of the cycle-exact machine. The processor drives the clock: every bus access is one
// cycle, made in the order the chip makes it, dummy reads and dummy writes included, so that
// the machine behind the bus sees exactly the real chip's accesses.
//
// The bus, a template parameter so that its accesses are inlined:
//
//   std::uint8_t Read(std::uint16_t address)   one read cycle. The bus advances the machine by
//                                              one cycle and performs the read; it handles RDY
//                                              itself, letting stalled cycles pass first.
//   void Write(std::uint16_t address, std::uint8_t value)
//                                              one write cycle (never stalled).
//   bool IrqLine() const                       /IRQ asserted (low) at the end of the last
//                                              completed cycle.
//   bool NmiLine() const                       likewise for /NMI.
//   bool LastReadWasStalled() const            optional: the last Read waited for RDY. SHA,
//                                              SHX, SHY and TAS store their value without the
//                                              AND with the high byte + 1 when their dummy read
//                                              before the write was stalled; without the
//                                              function that never happens.
//   std::uint8_t Fetch(std::uint16_t address)  optional: a read of the instruction stream (the
//                                              opcode, the operand bytes, the dummy reads at the
//                                              program counter), which a bus may tell from the
//                                              data reads (a monitor's watch hears only those);
//                                              without the function such reads are Reads.
//
// Interrupts: after every bus access the core samples NmiLine() and latches an NMI on a change
// from not asserted to asserted. Right before the last bus access of every instruction it
// polls: an interrupt is due when an NMI is latched or IrqLine() is true with I clear, that is
// from the lines' state at the end of the instruction's next-to-last cycle. A due interrupt
// runs at the next Step instead of the next instruction. CLI, SEI and PLP change I after their
// poll, RTI before it. Branches poll before their second cycle and, when taken across a page,
// again before their fourth. The BRK, IRQ, NMI and reset sequences do not poll. BRK, IRQ and
// NMI pick their vector after their fourth cycle: an NMI latched by then takes the sequence
// over. A last read held up by RDY has been polled before the bus let the stalled cycles pass,
// so its instruction counts the lines as they were before the stall.
#pragma once

#include <cstdint>

#include "accurate/cpu6510_alu.h"
#include "interface/snapshot_stream.h"

namespace quillon::accurate {

// Everything the processor keeps between two Steps.
struct CpuState {
  CpuRegisters Registers;
  bool NmiLineSeen = false;  // the NMI line at the last sample, for the edge detector
  bool NmiPending = false;   // an NMI edge latched and not yet served
  bool InterruptDue = false;  // the last instruction's poll found an interrupt to take
  bool ResetPending = true;   // power-on is a reset
  bool Jammed = false;

  // The fields of a snapshot, in both directions (see interface/snapshot_stream.h).
  template <class Stream, class Self>
  static void Fields(Stream& s, Self& state) {
    s.Field(state.Registers.A);
    s.Field(state.Registers.X);
    s.Field(state.Registers.Y);
    s.Field(state.Registers.S);
    s.Field(state.Registers.P);
    s.Field(state.Registers.PC);
    s.Flag(state.NmiLineSeen);
    s.Flag(state.NmiPending);
    s.Flag(state.InterruptDue);
    s.Flag(state.ResetPending);
    s.Flag(state.Jammed);
  }
};

template <class Bus>
class Cpu6510 {
 public:
  explicit Cpu6510(Bus& bus) : Board(bus) {}

  // One whole instruction, or one interrupt or reset sequence; a jammed processor spends one
  // cycle reading $FFFF.
  void Step() {
    CpuRegisters& r = State.Registers;
    if (State.ResetPending) {
      ResetSequence();
    } else if (State.Jammed) {
      Read(0xFFFF);
    } else if (State.InterruptDue) {
      // The opcode fetch happens and is thrown away; PC does not move.
      Fetch(r.PC);
      Fetch(r.PC);
      InterruptFrame(FlagUnused);
    } else {
      Execute(Fetch(r.PC++));
    }
  }

  // The reset sequence runs at the next Step; it also ends a jam.
  void Reset() { State.ResetPending = true; }

  bool Jammed() const { return State.Jammed; }

  // The next Step fetches an opcode: no reset, interrupt or jam comes first.
  bool AtInstruction() const {
    return !State.ResetPending && !State.Jammed && !State.InterruptDue;
  }

  // The next Step runs an IRQ or NMI sequence (the trace view steps into the handler with it).
  bool InterruptDue() const {
    return State.InterruptDue && !State.Jammed && !State.ResetPending;
  }

  // The registers, to read or to set between Steps.
  CpuRegisters& Registers() { return State.Registers; }
  const CpuRegisters& Registers() const { return State.Registers; }

  void Save(SnapshotWriter& out) const { CpuState::Fields(out, State); }
  // False for damaged data, which leave the processor as it was.
  bool Load(SnapshotReader& in) {
    CpuState loaded = State;
    CpuState::Fields(in, loaded);
    if (in.Failed) return false;
    State = loaded;
    return true;
  }

 private:
  // Whether an indexed access makes its dummy read at the uncorrected page always (stores and
  // read-modify-write) or only when the index carried into the next page (reads).
  enum class Fix { WhenCrossed, Always };

  Bus& Board;
  CpuState State;

  static std::uint16_t Word(std::uint8_t low, std::uint8_t high) {
    return static_cast<std::uint16_t>(low | (high << 8));
  }

  // --- Bus cycles -----------------------------------------------------------------------------

  [[gnu::always_inline]] void SampleNmi() {
    const bool asserted = Board.NmiLine();
    State.NmiPending = State.NmiPending || (asserted && !State.NmiLineSeen);
    State.NmiLineSeen = asserted;
  }

  [[gnu::always_inline]] std::uint8_t Read(std::uint16_t address) {
    const std::uint8_t value = Board.Read(address);
    SampleNmi();
    return value;
  }

  // A read of the instruction stream.
  [[gnu::always_inline]] std::uint8_t Fetch(std::uint16_t address) {
    if constexpr (requires(Bus& bus) { bus.Fetch(std::uint16_t{}); }) {
      const std::uint8_t value = Board.Fetch(address);
      SampleNmi();
      return value;
    } else {
      return Read(address);
    }
  }

  [[gnu::always_inline]] void Write(std::uint16_t address, std::uint8_t value) {
    Board.Write(address, value);
    SampleNmi();
  }

  [[gnu::always_inline]] void Poll() {
    State.InterruptDue = State.NmiPending ||
                         (Board.IrqLine() && (State.Registers.P & FlagI) == 0);
  }

  // An instruction's last cycle, with the interrupt poll before it.
  [[gnu::always_inline]] std::uint8_t ReadLast(std::uint16_t address) {
    Poll();
    return Read(address);
  }

  [[gnu::always_inline]] std::uint8_t FetchLast(std::uint16_t address) {
    Poll();
    return Fetch(address);
  }

  [[gnu::always_inline]] void WriteLast(std::uint16_t address, std::uint8_t value) {
    Poll();
    Write(address, value);
  }

  [[gnu::always_inline]] bool DummyReadStalled() const {
    if constexpr (requires(const Bus& bus) { bus.LastReadWasStalled(); }) {
      return Board.LastReadWasStalled();
    } else {
      return false;
    }
  }

  // --- Addressing: the cycles before the data access, giving the effective address ---------------

  [[gnu::always_inline]] std::uint8_t FetchOperand() { return Fetch(State.Registers.PC++); }

  // The last cycle of the one-byte instructions reads the next byte and throws it away.
  [[gnu::always_inline]] void Implied() { FetchLast(State.Registers.PC); }

  [[gnu::always_inline]] std::uint8_t Immediate() { return FetchLast(State.Registers.PC++); }

  [[gnu::always_inline]] std::uint16_t ZeroPage() { return FetchOperand(); }

  // The base is read while the index is added; the sum wraps within page zero.
  [[gnu::always_inline]] std::uint16_t ZeroPageIndexed(std::uint8_t index) {
    const std::uint8_t base = FetchOperand();
    Read(base);
    return static_cast<std::uint8_t>(base + index);
  }

  [[gnu::always_inline]] std::uint16_t Absolute() {
    const std::uint8_t low = FetchOperand();
    return Word(low, FetchOperand());
  }

  // The chip first reads at the base's page with the low byte already indexed, then at the
  // corrected address.
  [[gnu::always_inline]] std::uint16_t Indexed(std::uint16_t base, std::uint8_t index, Fix fix) {
    const auto address = static_cast<std::uint16_t>(base + index);
    if (fix == Fix::Always || ((base ^ address) & 0xFF00) != 0) {
      Read(static_cast<std::uint16_t>((base & 0xFF00) | (address & 0x00FF)));
    }
    return address;
  }

  [[gnu::always_inline]] std::uint16_t AbsoluteX(Fix fix) {
    return Indexed(Absolute(), State.Registers.X, fix);
  }

  [[gnu::always_inline]] std::uint16_t AbsoluteY(Fix fix) {
    return Indexed(Absolute(), State.Registers.Y, fix);
  }

  // (zp,X): the pointer and its high byte both stay in page zero.
  [[gnu::always_inline]] std::uint16_t IndexedIndirect() {
    const auto pointer = static_cast<std::uint8_t>(ZeroPageIndexed(State.Registers.X));
    const std::uint8_t low = Read(pointer);
    return Word(low, Read(static_cast<std::uint8_t>(pointer + 1)));
  }

  // The word that (zp),Y indexes; a pointer at $FF takes its high byte from $00.
  [[gnu::always_inline]] std::uint16_t IndirectBase() {
    const std::uint8_t pointer = FetchOperand();
    const std::uint8_t low = Read(pointer);
    return Word(low, Read(static_cast<std::uint8_t>(pointer + 1)));
  }

  [[gnu::always_inline]] std::uint16_t IndirectY(Fix fix) {
    return Indexed(IndirectBase(), State.Registers.Y, fix);
  }

  // --- Instruction shapes -------------------------------------------------------------------

  // Read-modify-write: the unmodified byte is written back while the result is computed.
  template <std::uint8_t (*Operation)(CpuRegisters&, std::uint8_t)>
  [[gnu::always_inline]] void Modify(std::uint16_t address) {
    const std::uint8_t value = Read(address);
    Write(address, value);
    WriteLast(address, Operation(State.Registers, value));
  }

  // SHA, SHX, SHY and TAS: the value is ANDed with the base's high byte + 1, and when the index
  // carries into the next page that AND replaces the address's high byte as well. A dummy
  // read held up by RDY loses the AND from the value, not from the address.
  [[gnu::always_inline]] void StoreAndHigh(std::uint16_t base, std::uint8_t index,
                                           std::uint8_t value) {
    const auto address = static_cast<std::uint16_t>(base + index);
    Read(static_cast<std::uint16_t>((base & 0xFF00) | (address & 0x00FF)));
    const auto highPlusOne = static_cast<std::uint8_t>((base >> 8) + 1);
    const auto anded = static_cast<std::uint8_t>(value & highPlusOne);
    const bool crossed = ((base ^ address) & 0xFF00) != 0;
    WriteLast(crossed ? Word(static_cast<std::uint8_t>(address), anded) : address,
              DummyReadStalled() ? value : anded);
  }

  [[gnu::always_inline]] void Branch(bool taken) {
    CpuRegisters& r = State.Registers;
    const auto offset = static_cast<std::int8_t>(FetchLast(r.PC++));
    if (!taken) return;
    Fetch(r.PC);
    const auto target = static_cast<std::uint16_t>(r.PC + offset);
    // A taken branch within the page does not poll again: what the operand fetch found stands.
    if (((target ^ r.PC) & 0xFF00) != 0) {
      FetchLast(static_cast<std::uint16_t>((r.PC & 0xFF00) | (target & 0x00FF)));
    }
    r.PC = target;
  }

  [[gnu::always_inline]] void Push(std::uint8_t value) {
    Write(static_cast<std::uint16_t>(0x0100 | State.Registers.S), value);
    --State.Registers.S;
  }

  [[gnu::always_inline]] std::uint8_t Pull() {
    ++State.Registers.S;
    return Read(static_cast<std::uint16_t>(0x0100 | State.Registers.S));
  }

  // The read of the stack top that precedes every pull.
  [[gnu::always_inline]] void ReadStack() {
    Read(static_cast<std::uint16_t>(0x0100 | State.Registers.S));
  }

  // Cycles 3 to 7 of BRK, IRQ and NMI. `pushedBits` are bits 5 and 4 of the pushed P.
  void InterruptFrame(std::uint8_t pushedBits) {
    CpuRegisters& r = State.Registers;
    Push(static_cast<std::uint8_t>(r.PC >> 8));
    Push(static_cast<std::uint8_t>(r.PC));
    const bool nmi = State.NmiPending;
    State.NmiPending = false;
    State.InterruptDue = false;
    Push(static_cast<std::uint8_t>((r.P & ~(FlagUnused | FlagB)) | pushedBits));
    r.P |= FlagI;
    const std::uint16_t vector = nmi ? 0xFFFA : 0xFFFE;
    const std::uint8_t low = Read(vector);
    r.PC = Word(low, Read(static_cast<std::uint16_t>(vector + 1)));
  }

  // An interrupt's stack cycles with the writes turned into reads; A, X, Y and D stay.
  void ResetSequence() {
    CpuRegisters& r = State.Registers;
    Fetch(r.PC);
    Fetch(r.PC);
    for (int i = 0; i < 3; ++i) {
      ReadStack();
      --r.S;
    }
    r.P |= FlagI;
    const std::uint8_t low = Read(0xFFFC);
    r.PC = Word(low, Read(0xFFFD));
    State.ResetPending = false;
    State.Jammed = false;
    State.NmiPending = false;
    State.InterruptDue = false;
  }

  // --- The instructions -----------------------------------------------------------------------

  void Execute(std::uint8_t opcode) {
    using namespace cpu_internal;
    CpuRegisters& r = State.Registers;
    switch (opcode) {
      // Loads, logic and arithmetic on a byte read.
      case 0x09: Ora(r, Immediate()); break;
      case 0x05: Ora(r, ReadLast(ZeroPage())); break;
      case 0x15: Ora(r, ReadLast(ZeroPageIndexed(r.X))); break;
      case 0x0D: Ora(r, ReadLast(Absolute())); break;
      case 0x1D: Ora(r, ReadLast(AbsoluteX(Fix::WhenCrossed))); break;
      case 0x19: Ora(r, ReadLast(AbsoluteY(Fix::WhenCrossed))); break;
      case 0x01: Ora(r, ReadLast(IndexedIndirect())); break;
      case 0x11: Ora(r, ReadLast(IndirectY(Fix::WhenCrossed))); break;
      case 0x29: And(r, Immediate()); break;
      case 0x25: And(r, ReadLast(ZeroPage())); break;
      case 0x35: And(r, ReadLast(ZeroPageIndexed(r.X))); break;
      case 0x2D: And(r, ReadLast(Absolute())); break;
      case 0x3D: And(r, ReadLast(AbsoluteX(Fix::WhenCrossed))); break;
      case 0x39: And(r, ReadLast(AbsoluteY(Fix::WhenCrossed))); break;
      case 0x21: And(r, ReadLast(IndexedIndirect())); break;
      case 0x31: And(r, ReadLast(IndirectY(Fix::WhenCrossed))); break;
      case 0x49: Eor(r, Immediate()); break;
      case 0x45: Eor(r, ReadLast(ZeroPage())); break;
      case 0x55: Eor(r, ReadLast(ZeroPageIndexed(r.X))); break;
      case 0x4D: Eor(r, ReadLast(Absolute())); break;
      case 0x5D: Eor(r, ReadLast(AbsoluteX(Fix::WhenCrossed))); break;
      case 0x59: Eor(r, ReadLast(AbsoluteY(Fix::WhenCrossed))); break;
      case 0x41: Eor(r, ReadLast(IndexedIndirect())); break;
      case 0x51: Eor(r, ReadLast(IndirectY(Fix::WhenCrossed))); break;
      case 0x69: Adc(r, Immediate()); break;
      case 0x65: Adc(r, ReadLast(ZeroPage())); break;
      case 0x75: Adc(r, ReadLast(ZeroPageIndexed(r.X))); break;
      case 0x6D: Adc(r, ReadLast(Absolute())); break;
      case 0x7D: Adc(r, ReadLast(AbsoluteX(Fix::WhenCrossed))); break;
      case 0x79: Adc(r, ReadLast(AbsoluteY(Fix::WhenCrossed))); break;
      case 0x61: Adc(r, ReadLast(IndexedIndirect())); break;
      case 0x71: Adc(r, ReadLast(IndirectY(Fix::WhenCrossed))); break;
      case 0xE9: case 0xEB: Sbc(r, Immediate()); break;
      case 0xE5: Sbc(r, ReadLast(ZeroPage())); break;
      case 0xF5: Sbc(r, ReadLast(ZeroPageIndexed(r.X))); break;
      case 0xED: Sbc(r, ReadLast(Absolute())); break;
      case 0xFD: Sbc(r, ReadLast(AbsoluteX(Fix::WhenCrossed))); break;
      case 0xF9: Sbc(r, ReadLast(AbsoluteY(Fix::WhenCrossed))); break;
      case 0xE1: Sbc(r, ReadLast(IndexedIndirect())); break;
      case 0xF1: Sbc(r, ReadLast(IndirectY(Fix::WhenCrossed))); break;
      case 0xC9: Cmp(r, Immediate()); break;
      case 0xC5: Cmp(r, ReadLast(ZeroPage())); break;
      case 0xD5: Cmp(r, ReadLast(ZeroPageIndexed(r.X))); break;
      case 0xCD: Cmp(r, ReadLast(Absolute())); break;
      case 0xDD: Cmp(r, ReadLast(AbsoluteX(Fix::WhenCrossed))); break;
      case 0xD9: Cmp(r, ReadLast(AbsoluteY(Fix::WhenCrossed))); break;
      case 0xC1: Cmp(r, ReadLast(IndexedIndirect())); break;
      case 0xD1: Cmp(r, ReadLast(IndirectY(Fix::WhenCrossed))); break;
      case 0xE0: Cpx(r, Immediate()); break;
      case 0xE4: Cpx(r, ReadLast(ZeroPage())); break;
      case 0xEC: Cpx(r, ReadLast(Absolute())); break;
      case 0xC0: Cpy(r, Immediate()); break;
      case 0xC4: Cpy(r, ReadLast(ZeroPage())); break;
      case 0xCC: Cpy(r, ReadLast(Absolute())); break;
      case 0x24: Bit(r, ReadLast(ZeroPage())); break;
      case 0x2C: Bit(r, ReadLast(Absolute())); break;
      case 0xA9: Lda(r, Immediate()); break;
      case 0xA5: Lda(r, ReadLast(ZeroPage())); break;
      case 0xB5: Lda(r, ReadLast(ZeroPageIndexed(r.X))); break;
      case 0xAD: Lda(r, ReadLast(Absolute())); break;
      case 0xBD: Lda(r, ReadLast(AbsoluteX(Fix::WhenCrossed))); break;
      case 0xB9: Lda(r, ReadLast(AbsoluteY(Fix::WhenCrossed))); break;
      case 0xA1: Lda(r, ReadLast(IndexedIndirect())); break;
      case 0xB1: Lda(r, ReadLast(IndirectY(Fix::WhenCrossed))); break;
      case 0xA2: Ldx(r, Immediate()); break;
      case 0xA6: Ldx(r, ReadLast(ZeroPage())); break;
      case 0xB6: Ldx(r, ReadLast(ZeroPageIndexed(r.Y))); break;
      case 0xAE: Ldx(r, ReadLast(Absolute())); break;
      case 0xBE: Ldx(r, ReadLast(AbsoluteY(Fix::WhenCrossed))); break;
      case 0xA0: Ldy(r, Immediate()); break;
      case 0xA4: Ldy(r, ReadLast(ZeroPage())); break;
      case 0xB4: Ldy(r, ReadLast(ZeroPageIndexed(r.X))); break;
      case 0xAC: Ldy(r, ReadLast(Absolute())); break;
      case 0xBC: Ldy(r, ReadLast(AbsoluteX(Fix::WhenCrossed))); break;
      case 0xA7: Lax(r, ReadLast(ZeroPage())); break;
      case 0xB7: Lax(r, ReadLast(ZeroPageIndexed(r.Y))); break;
      case 0xAF: Lax(r, ReadLast(Absolute())); break;
      case 0xBF: Lax(r, ReadLast(AbsoluteY(Fix::WhenCrossed))); break;
      case 0xA3: Lax(r, ReadLast(IndexedIndirect())); break;
      case 0xB3: Lax(r, ReadLast(IndirectY(Fix::WhenCrossed))); break;
      case 0xBB: Las(r, ReadLast(AbsoluteY(Fix::WhenCrossed))); break;
      case 0x0B: case 0x2B: Anc(r, Immediate()); break;
      case 0x4B: Alr(r, Immediate()); break;
      case 0x6B: Arr(r, Immediate()); break;
      case 0x8B: Ane(r, Immediate()); break;
      case 0xAB: Lxa(r, Immediate()); break;
      case 0xCB: Sbx(r, Immediate()); break;

      // NOPs read as their addressing mode does.
      case 0x80: case 0x82: case 0x89: case 0xC2: case 0xE2: Immediate(); break;
      case 0x04: case 0x44: case 0x64: ReadLast(ZeroPage()); break;
      case 0x14: case 0x34: case 0x54: case 0x74: case 0xD4: case 0xF4:
        ReadLast(ZeroPageIndexed(r.X));
        break;
      case 0x0C: ReadLast(Absolute()); break;
      case 0x1C: case 0x3C: case 0x5C: case 0x7C: case 0xDC: case 0xFC:
        ReadLast(AbsoluteX(Fix::WhenCrossed));
        break;
      case 0xEA: case 0x1A: case 0x3A: case 0x5A: case 0x7A: case 0xDA: case 0xFA:
        Implied();
        break;

      // Stores.
      case 0x85: WriteLast(ZeroPage(), r.A); break;
      case 0x95: WriteLast(ZeroPageIndexed(r.X), r.A); break;
      case 0x8D: WriteLast(Absolute(), r.A); break;
      case 0x9D: WriteLast(AbsoluteX(Fix::Always), r.A); break;
      case 0x99: WriteLast(AbsoluteY(Fix::Always), r.A); break;
      case 0x81: WriteLast(IndexedIndirect(), r.A); break;
      case 0x91: WriteLast(IndirectY(Fix::Always), r.A); break;
      case 0x86: WriteLast(ZeroPage(), r.X); break;
      case 0x96: WriteLast(ZeroPageIndexed(r.Y), r.X); break;
      case 0x8E: WriteLast(Absolute(), r.X); break;
      case 0x84: WriteLast(ZeroPage(), r.Y); break;
      case 0x94: WriteLast(ZeroPageIndexed(r.X), r.Y); break;
      case 0x8C: WriteLast(Absolute(), r.Y); break;
      case 0x87: WriteLast(ZeroPage(), r.A & r.X); break;
      case 0x97: WriteLast(ZeroPageIndexed(r.Y), r.A & r.X); break;
      case 0x8F: WriteLast(Absolute(), r.A & r.X); break;
      case 0x83: WriteLast(IndexedIndirect(), r.A & r.X); break;
      case 0x93: StoreAndHigh(IndirectBase(), r.Y, r.A & r.X); break;
      case 0x9F: StoreAndHigh(Absolute(), r.Y, r.A & r.X); break;
      case 0x9E: StoreAndHigh(Absolute(), r.Y, r.X); break;
      case 0x9C: StoreAndHigh(Absolute(), r.X, r.Y); break;
      case 0x9B:
        r.S = r.A & r.X;
        StoreAndHigh(Absolute(), r.Y, r.S);
        break;

      // Read-modify-write, on the accumulator and in memory.
      case 0x0A: Implied(); r.A = Asl(r, r.A); break;
      case 0x06: Modify<Asl>(ZeroPage()); break;
      case 0x16: Modify<Asl>(ZeroPageIndexed(r.X)); break;
      case 0x0E: Modify<Asl>(Absolute()); break;
      case 0x1E: Modify<Asl>(AbsoluteX(Fix::Always)); break;
      case 0x2A: Implied(); r.A = Rol(r, r.A); break;
      case 0x26: Modify<Rol>(ZeroPage()); break;
      case 0x36: Modify<Rol>(ZeroPageIndexed(r.X)); break;
      case 0x2E: Modify<Rol>(Absolute()); break;
      case 0x3E: Modify<Rol>(AbsoluteX(Fix::Always)); break;
      case 0x4A: Implied(); r.A = Lsr(r, r.A); break;
      case 0x46: Modify<Lsr>(ZeroPage()); break;
      case 0x56: Modify<Lsr>(ZeroPageIndexed(r.X)); break;
      case 0x4E: Modify<Lsr>(Absolute()); break;
      case 0x5E: Modify<Lsr>(AbsoluteX(Fix::Always)); break;
      case 0x6A: Implied(); r.A = Ror(r, r.A); break;
      case 0x66: Modify<Ror>(ZeroPage()); break;
      case 0x76: Modify<Ror>(ZeroPageIndexed(r.X)); break;
      case 0x6E: Modify<Ror>(Absolute()); break;
      case 0x7E: Modify<Ror>(AbsoluteX(Fix::Always)); break;
      case 0xE6: Modify<Inc>(ZeroPage()); break;
      case 0xF6: Modify<Inc>(ZeroPageIndexed(r.X)); break;
      case 0xEE: Modify<Inc>(Absolute()); break;
      case 0xFE: Modify<Inc>(AbsoluteX(Fix::Always)); break;
      case 0xC6: Modify<Dec>(ZeroPage()); break;
      case 0xD6: Modify<Dec>(ZeroPageIndexed(r.X)); break;
      case 0xCE: Modify<Dec>(Absolute()); break;
      case 0xDE: Modify<Dec>(AbsoluteX(Fix::Always)); break;
      case 0x07: Modify<Slo>(ZeroPage()); break;
      case 0x17: Modify<Slo>(ZeroPageIndexed(r.X)); break;
      case 0x0F: Modify<Slo>(Absolute()); break;
      case 0x1F: Modify<Slo>(AbsoluteX(Fix::Always)); break;
      case 0x1B: Modify<Slo>(AbsoluteY(Fix::Always)); break;
      case 0x03: Modify<Slo>(IndexedIndirect()); break;
      case 0x13: Modify<Slo>(IndirectY(Fix::Always)); break;
      case 0x27: Modify<Rla>(ZeroPage()); break;
      case 0x37: Modify<Rla>(ZeroPageIndexed(r.X)); break;
      case 0x2F: Modify<Rla>(Absolute()); break;
      case 0x3F: Modify<Rla>(AbsoluteX(Fix::Always)); break;
      case 0x3B: Modify<Rla>(AbsoluteY(Fix::Always)); break;
      case 0x23: Modify<Rla>(IndexedIndirect()); break;
      case 0x33: Modify<Rla>(IndirectY(Fix::Always)); break;
      case 0x47: Modify<Sre>(ZeroPage()); break;
      case 0x57: Modify<Sre>(ZeroPageIndexed(r.X)); break;
      case 0x4F: Modify<Sre>(Absolute()); break;
      case 0x5F: Modify<Sre>(AbsoluteX(Fix::Always)); break;
      case 0x5B: Modify<Sre>(AbsoluteY(Fix::Always)); break;
      case 0x43: Modify<Sre>(IndexedIndirect()); break;
      case 0x53: Modify<Sre>(IndirectY(Fix::Always)); break;
      case 0x67: Modify<Rra>(ZeroPage()); break;
      case 0x77: Modify<Rra>(ZeroPageIndexed(r.X)); break;
      case 0x6F: Modify<Rra>(Absolute()); break;
      case 0x7F: Modify<Rra>(AbsoluteX(Fix::Always)); break;
      case 0x7B: Modify<Rra>(AbsoluteY(Fix::Always)); break;
      case 0x63: Modify<Rra>(IndexedIndirect()); break;
      case 0x73: Modify<Rra>(IndirectY(Fix::Always)); break;
      case 0xC7: Modify<Dcp>(ZeroPage()); break;
      case 0xD7: Modify<Dcp>(ZeroPageIndexed(r.X)); break;
      case 0xCF: Modify<Dcp>(Absolute()); break;
      case 0xDF: Modify<Dcp>(AbsoluteX(Fix::Always)); break;
      case 0xDB: Modify<Dcp>(AbsoluteY(Fix::Always)); break;
      case 0xC3: Modify<Dcp>(IndexedIndirect()); break;
      case 0xD3: Modify<Dcp>(IndirectY(Fix::Always)); break;
      case 0xE7: Modify<Isc>(ZeroPage()); break;
      case 0xF7: Modify<Isc>(ZeroPageIndexed(r.X)); break;
      case 0xEF: Modify<Isc>(Absolute()); break;
      case 0xFF: Modify<Isc>(AbsoluteX(Fix::Always)); break;
      case 0xFB: Modify<Isc>(AbsoluteY(Fix::Always)); break;
      case 0xE3: Modify<Isc>(IndexedIndirect()); break;
      case 0xF3: Modify<Isc>(IndirectY(Fix::Always)); break;

      // Registers and flags. CLI, SEI (like PLP below) change I after their poll.
      case 0xE8: Implied(); SetNZ(r, ++r.X); break;
      case 0xC8: Implied(); SetNZ(r, ++r.Y); break;
      case 0xCA: Implied(); SetNZ(r, --r.X); break;
      case 0x88: Implied(); SetNZ(r, --r.Y); break;
      case 0xAA: Implied(); SetNZ(r, r.X = r.A); break;
      case 0xA8: Implied(); SetNZ(r, r.Y = r.A); break;
      case 0x8A: Implied(); SetNZ(r, r.A = r.X); break;
      case 0x98: Implied(); SetNZ(r, r.A = r.Y); break;
      case 0xBA: Implied(); SetNZ(r, r.X = r.S); break;
      case 0x9A: Implied(); r.S = r.X; break;
      case 0x18: Implied(); SetFlag(r, FlagC, false); break;
      case 0x38: Implied(); SetFlag(r, FlagC, true); break;
      case 0x58: Implied(); SetFlag(r, FlagI, false); break;
      case 0x78: Implied(); SetFlag(r, FlagI, true); break;
      case 0xB8: Implied(); SetFlag(r, FlagV, false); break;
      case 0xD8: Implied(); SetFlag(r, FlagD, false); break;
      case 0xF8: Implied(); SetFlag(r, FlagD, true); break;

      case 0x10: Branch((r.P & FlagN) == 0); break;
      case 0x30: Branch((r.P & FlagN) != 0); break;
      case 0x50: Branch((r.P & FlagV) == 0); break;
      case 0x70: Branch((r.P & FlagV) != 0); break;
      case 0x90: Branch((r.P & FlagC) == 0); break;
      case 0xB0: Branch((r.P & FlagC) != 0); break;
      case 0xD0: Branch((r.P & FlagZ) == 0); break;
      case 0xF0: Branch((r.P & FlagZ) != 0); break;

      // Jumps and the stack.
      case 0x4C: {
        const std::uint8_t low = FetchOperand();
        r.PC = Word(low, FetchLast(r.PC));
        break;
      }
      case 0x6C: {
        // The pointer's high byte is never carried into: JMP ($10FF) reads $10FF and $1000.
        const std::uint16_t pointer = Absolute();
        const std::uint8_t low = Read(pointer);
        r.PC = Word(low, ReadLast(static_cast<std::uint16_t>(
                             (pointer & 0xFF00) | ((pointer + 1) & 0x00FF))));
        break;
      }
      case 0x20: {
        // The high byte is fetched after the pushes: the return address is that byte's.
        const std::uint8_t low = FetchOperand();
        ReadStack();
        Push(static_cast<std::uint8_t>(r.PC >> 8));
        Push(static_cast<std::uint8_t>(r.PC));
        r.PC = Word(low, FetchLast(r.PC));
        break;
      }
      case 0x60: {
        Fetch(r.PC);
        ReadStack();
        const std::uint8_t low = Pull();
        r.PC = Word(low, Pull());
        FetchLast(r.PC++);
        break;
      }
      case 0x40: {
        // RTI restores I before its poll.
        Fetch(r.PC);
        ReadStack();
        r.P = Pull() | FlagUnused | FlagB;
        const std::uint8_t low = Pull();
        Poll();
        r.PC = Word(low, Pull());
        break;
      }
      case 0x00:
        FetchOperand();
        InterruptFrame(FlagUnused | FlagB);
        break;
      case 0x48: Fetch(r.PC); Poll(); Push(r.A); break;
      case 0x08: Fetch(r.PC); Poll(); Push(r.P | FlagUnused | FlagB); break;
      case 0x68: Fetch(r.PC); ReadStack(); Poll(); Lda(r, Pull()); break;
      case 0x28: Fetch(r.PC); ReadStack(); Poll(); r.P = Pull() | FlagUnused | FlagB; break;

      // JAM: after reading the next byte the processor stops until a reset; interrupts are not
      // served.
      case 0x02: case 0x12: case 0x22: case 0x32: case 0x42: case 0x52:
      case 0x62: case 0x72: case 0x92: case 0xB2: case 0xD2: case 0xF2:
        Fetch(r.PC);
        State.Jammed = true;
        break;
    }
  }
};

}  // namespace quillon::accurate

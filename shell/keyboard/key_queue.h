// The keys on their way to the C64's keyboard matrix. The KERNAL looks at the keyboard sixty
// times a second, so a key pressed and let go between two looks would never be seen, and a key
// let go and pressed again between two looks would be seen only once. Every key event
// therefore passes through one queue that keeps time by the keyboard scans themselves: a key
// that goes down stays down, and nothing else changes, for at least KeyHoldScans scans; a key
// that goes down where one was just let go waits until it has been seen up; and every change
// waits until no scan is under way, so that no scan sees half of it (SHIFT's column read
// before the change and the key's after). A scan is a run of reads of the key matrix's rows;
// where a program reads no keys for a whole frame, each frame counts as a scan. The keyboard's
// own events, the command line's --type and Edit > Paste all join the same queue, in the order
// they come.
#pragma once

#include <cstdint>
#include <vector>

#include "keyboard/typed_text.h"

namespace quillon {

struct SnapshotWriter;
struct SnapshotReader;

// Scans a key is held down, and a C64 key seen up before it goes down again.
inline constexpr int KeyHoldScans = 2;
// After a typed RETURN the rest of the text waits for BASIC to be back at its input wait, about
// two seconds of scans at most (a program that reads keys its own way gets them after that).
inline constexpr int ReturnWaitScans = 120;

// Empties the queue and forgets every key it pressed and every time it noted.
void KeyQueueReset();

// A host key (a key of the key table, Page Up for RESTORE or Caps Lock for SHIFT LOCK) goes
// down or up, behind everything queued before it. A key that can go at once does.
void KeyQueuePress(int virtualKey);
void KeyQueueRelease(int virtualKey);

// Types `keys` behind everything queued, each with the host Shift key held around it when it
// needs one. With `waitForBasic` the typing starts only once BASIC waits for input, however
// long that takes.
void KeyQueueType(const std::vector<TypedKey>& keys, bool waitForBasic);

// Types `keys` ahead of everything queued: the start of a disk image, which comes before text
// given to type. Returns the count of events applied (KeyQueueApplied) at which they will all
// have gone.
std::uint64_t KeyQueueTypeAhead(const std::vector<TypedKey>& keys);
// Events applied since the program started.
std::uint64_t KeyQueueApplied();

// Tells the queue that the emulation ran `frames` frames, as the main loop counts them (with
// F11 held each raster line counts as a frame; the queue turns those back into frames).
void KeyQueueFramesPassed(std::int32_t frames);
// The end of a raster line: a scan that has ended is counted, and what may go now goes.
void KeyQueueRasterLine();

// True when nothing waits: every key event and all typed text have reached the keyboard.
bool KeyQueueEmpty();

// The queue's whole state (and the Shift state it keeps for the host) into a snapshot, and back.
// KeyQueueLoad reads the same fields and checks them; only with `apply` does it put them in
// effect. False when they are damaged.
void KeyQueueSave(SnapshotWriter& out);
bool KeyQueueLoad(SnapshotReader& in, bool apply);

// The keyboard's keys are all up now (the window lost the focus, and their releases will go
// elsewhere): their waiting events are dropped, every C64 key they hold is let go and every
// host key counts as up. Typed text goes on where it was; SHIFT LOCK stays as it is.
void KeyQueueReleaseHostKeys();

}  // namespace quillon

#include "window/snapshot_commands.h"

#include <string>

#include "media/utf8_path.h"
#include "platform/messages.h"
#include "platform/platform.h"
#include "resources/menu.h"
#include "session/host_state.h"
#include "session/session.h"
#include "snapshot/snapshot.h"
#include "window/display.h"
#include "window/main_loop.h"
#include "window/menu_items.h"

namespace quillon {
namespace {

void SaveSnapshotCommand() {
  char fileName[FileNameCapacity] = {};
  if (!Platform.ChooseSaveFile(SnapshotFileFilter, fileName, FileNameCapacity)) return;
  std::string path = fileName;
  if (!PathFromUtf8(path).has_extension()) path += SnapshotFileExtension;
  const std::string error = SnapshotSaveFile(path);
  if (!error.empty()) Platform.ShowMessageBox(error.c_str(), SnapshotMessageCaption);
}

void LoadSnapshotCommand() {
  char fileName[FileNameCapacity] = {};
  if (!OpenFileDialog(SnapshotFileFilter, fileName)) return;
  // A snapshot that is refused leaves the machine running as it was; one of the other model
  // brings its own machine.
  std::unique_ptr<Machine> replacement;
  const std::string error = SnapshotLoadFile(fileName, &replacement);
  if (!error.empty()) {
    Platform.ShowMessageBox(error.c_str(), SnapshotMessageCaption);
    return;
  }
  // The snapshot brought its own video standard and SID chip (and model), and its picture
  // shows at once, paused or not.
  if (replacement != nullptr) SwitchMachine(std::move(replacement));
  ShowModelInMenu();
  if (Host.DisplayPixels == nullptr) return;
  ConvertFrame(Host.DisplayPixels);
  Platform.RequestRepaint();
}

}  // namespace

void SnapshotMenuCommand(std::uint32_t command) {
  if (command == CommandSaveSnapshot) {
    SaveSnapshotCommand();
  } else {
    LoadSnapshotCommand();
  }
}

}  // namespace quillon

#include "backends/gtk/gtk_backend.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "platform/backend_pieces.h"
#include "platform/display_platform.h"
#include "backends/gtk/gtk_text.h"
#include "backends/gtk/key_translation.h"
#include "backends/gtk/screen_saver_hold.h"
#include "platform/messages.h"
#include "platform/periodic_timer.h"
#include "platform/platform.h"
#include "resources/about_picture.h"

namespace quillon {
namespace {

// The shell asks for outer sizes that allow WindowFrameWidth x WindowFrameHeight for a
// window's frame, caption and menu bar; here the window manager draws the frame outside, so the
// drawing area gets the outer size less this room and the menu bar is added below the caption.
// The counter is GLib's monotonic clock, in microseconds.
constexpr std::int64_t MonotonicFrequency = 1000000;

// The items whose check marks the shell keeps in step; the others are plain items.
constexpr std::uint32_t CheckedCommands[] = {CommandPause,
                                             CommandTrace,
                                             CommandWarp,
                                             CommandShowBorder,
                                             CommandPal,
                                             CommandSound,
                                             CommandJoystickPort1,
                                             CommandJoystickPort2,
                                             CommandJoystickCursorKeys,
                                             CommandModelClassic,
                                             CommandModelAccurate,
                                             CommandRemoteMonitor};

struct MenuItemWidget {
  int SubMenu;
  std::uint32_t Command;
  GtkWidget* Widget;
  bool Checkable;
};

struct GtkBackendState {
  GtkWidget* Window;
  GtkWidget* MenuBar;
  GtkWidget* Canvas;
  std::vector<MenuItemWidget> MenuItems;
  // Set while the shell rewrites an item, so that the item's own activation is not taken for
  // the user's.
  bool UpdatingMenu;
  // Messages for the main loop, in arrival order; only the main thread touches them.
  std::deque<WindowMessage> Queue;
  // Where the paint handler draws, while a draw of the window is under way.
  cairo_t* PaintContext;
  // Full screen: held, and the last indexed picture presented with its palette.
  bool FullScreenHeld;
  std::vector<std::uint8_t> FullScreenPixels;
  int FullScreenWidth;
  int FullScreenHeight;
  std::uint32_t FullScreenPalette[256];
  std::vector<std::uint32_t> FullScreenRgb;
  PeriodicTimer Timer;
  // Files dropped on the window, oldest first, until the window procedure takes them.
  DroppedFileQueue DroppedFiles;
};
GtkBackendState Gtk;

void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  Gtk.Queue.push_back({Gtk.Window, message, wParam, lParam});
}

bool IsCheckedCommand(std::uint32_t command) {
  return std::find(std::begin(CheckedCommands), std::end(CheckedCommands), command) !=
         std::end(CheckedCommands);
}

int MenuBarHeight() {
  if (Gtk.MenuBar == nullptr || !gtk_widget_get_visible(Gtk.MenuBar)) return 0;
  int natural = 0;
  gtk_widget_get_preferred_height(Gtk.MenuBar, nullptr, &natural);
  return natural;
}

// --- Signals ---

void OnMenuItemActivate(GtkMenuItem*, gpointer data) {
  if (Gtk.UpdatingMenu) return;
  Post(MessageCommand, static_cast<std::uintptr_t>(GPOINTER_TO_UINT(data)), 0);
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer) {
  // As on Windows, closing asks the window procedure, whose default destroys the window.
  Post(MessageClose, 0, 0);
  return TRUE;
}

void OnDestroy(GtkWidget* window, gpointer) {
  Gtk.Window = Gtk.MenuBar = Gtk.Canvas = nullptr;
  Gtk.MenuItems.clear();
  SendToWindow(window, MessageDestroy, 0, 0);
}

gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer) {
  // The key's value without modifiers, its label in the layout in use: Shift+2 is still the 2
  // key, as Windows reports it, and the key table decides what Shift makes of it.
  guint label = event->keyval;
  gdk_keymap_translate_keyboard_state(
      gdk_keymap_get_for_display(gdk_window_get_display(event->window)),
      event->hardware_keycode, static_cast<GdkModifierType>(0), event->group, &label, nullptr,
      nullptr, nullptr);
  const bool altHeld = (event->state & GDK_MOD1_MASK) != 0;
  const KeyMessage key =
      TranslateKeyEvent(event->type == GDK_KEY_PRESS, event->hardware_keycode, label, altHeld);
  if (key.Message != 0) {
    Post(key.Message, static_cast<std::uintptr_t>(key.VirtualKey), key.LParam);
  }
  // System keys go on to GTK's own handling, which opens the menu bar for F10 and Alt with a
  // menu's letter. Every other key is the C64's alone: no mnemonic, accelerator or focus move
  // may take it.
  const bool system =
      altHeld || key.Message == MessageSysKeyDown || key.Message == MessageSysKeyUp;
  return system ? FALSE : TRUE;
}

gboolean OnFocusOut(GtkWidget*, GdkEventFocus*, gpointer) {
  Post(MessageKillFocus, 0, 0);
  return FALSE;
}

// A drop of files from a file manager: the first local file goes to the window procedure.
void OnDragDataReceived(GtkWidget*, GdkDragContext*, gint, gint, GtkSelectionData* data, guint,
                        guint, gpointer) {
  gchar** uris = gtk_selection_data_get_uris(data);
  gchar* name = uris != nullptr && uris[0] != nullptr
                    ? g_filename_from_uri(uris[0], nullptr, nullptr)
                    : nullptr;
  if (name != nullptr) {
    Gtk.DroppedFiles.Add(name);
    Post(MessageDropFiles, 0, 0);
  }
  g_free(name);
  g_strfreev(uris);
}

void OnCanvasSizeAllocate(GtkWidget*, GdkRectangle* allocation, gpointer) {
  SendToWindow(Gtk.Window, MessageSize, 0,
                 static_cast<std::intptr_t>((allocation->height << 16) | allocation->width));
}

// --- Painting ---

// Draws 32-bit pixels, `height` rows bottom-up, stretched to `targetWidth` x `targetHeight` at
// (left, top), each picture pixel as a sharp rectangle.
void DrawBottomUp(cairo_t* cr, const std::uint32_t* pixels, int width, int height, double left,
                  double top, double targetWidth, double targetHeight) {
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(pixels)), CAIRO_FORMAT_RGB24,
      width, height, width * 4);
  cairo_save(cr);
  cairo_rectangle(cr, left, top, targetWidth, targetHeight);
  cairo_clip(cr);
  // Memory row 0 is the bottom picture row: flip while stretching.
  cairo_translate(cr, left, top + targetHeight);
  cairo_scale(cr, targetWidth / width, -targetHeight / height);
  cairo_set_source_surface(cr, surface, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_paint(cr);
  cairo_restore(cr);
  cairo_surface_destroy(surface);
}

// The full-screen picture fills the screen as far as it can without changing its shape; the
// rest is black.
void DrawFullScreen(cairo_t* cr, int areaWidth, int areaHeight) {
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  const int width = Gtk.FullScreenWidth;
  const int height = Gtk.FullScreenHeight;
  if (width <= 0 || height <= 0) return;
  // Converted bottom-up, the order in which DrawBottomUp takes a picture.
  Gtk.FullScreenRgb.resize(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* source = Gtk.FullScreenPixels.data() + y * width;
    std::uint32_t* target = Gtk.FullScreenRgb.data() + (height - 1 - y) * width;
    for (int x = 0; x < width; ++x) target[x] = Gtk.FullScreenPalette[source[x]];
  }
  const double scale = std::min(static_cast<double>(areaWidth) / width,
                                static_cast<double>(areaHeight) / height);
  const double targetWidth = width * scale;
  const double targetHeight = height * scale;
  DrawBottomUp(cr, Gtk.FullScreenRgb.data(), width, height, (areaWidth - targetWidth) / 2,
               (areaHeight - targetHeight) / 2, targetWidth, targetHeight);
}

gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer) {
  if (Gtk.FullScreenHeld) {
    DrawFullScreen(cr, gtk_widget_get_allocated_width(widget),
                   gtk_widget_get_allocated_height(widget));
    return TRUE;
  }
  Gtk.PaintContext = cr;
  SendToWindow(Gtk.Window, MessagePaint, 0, 0);
  Gtk.PaintContext = nullptr;
  // Nothing else draws here: the picture is never erased first.
  return TRUE;
}

// --- The main window ---

bool RegisterMainWindowClass(const char*, WindowProcedure procedure) {
  MainWindowProcedure = procedure;
  return true;
}

void LoadMainMenu(std::span<const MenuResource> menu) {
  Gtk.MenuBar = gtk_menu_bar_new();
  Gtk.MenuItems.clear();
  for (std::size_t index = 0; index < menu.size(); ++index) {
    GtkWidget* title = gtk_menu_item_new_with_mnemonic(MnemonicLabel(menu[index].Title).c_str());
    GtkWidget* subMenu = gtk_menu_new();
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(title), subMenu);
    for (const MenuItemResource& item : menu[index].Items) {
      if (item.Flags & MenuItemSeparator) {
        gtk_menu_shell_append(GTK_MENU_SHELL(subMenu), gtk_separator_menu_item_new());
        continue;
      }
      const std::string label = MnemonicLabel(item.Text);
      const bool checkable = IsCheckedCommand(item.Command);
      GtkWidget* widget = checkable ? gtk_check_menu_item_new_with_mnemonic(label.c_str())
                                    : gtk_menu_item_new_with_mnemonic(label.c_str());
      if (checkable) {
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(widget),
                                       (item.Flags & MenuItemChecked) != 0);
      }
      gtk_widget_set_sensitive(widget, (item.Flags & MenuItemGrayed) == 0);
      g_signal_connect(widget, "activate", G_CALLBACK(OnMenuItemActivate),
                       GUINT_TO_POINTER(item.Command));
      gtk_menu_shell_append(GTK_MENU_SHELL(subMenu), widget);
      Gtk.MenuItems.push_back({static_cast<int>(index), item.Command, widget, checkable});
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(Gtk.MenuBar), title);
  }
}

bool CreateMainWindow(const char*, const char* title, std::int32_t width, std::int32_t height) {
  Gtk.Window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  if (Gtk.Window == nullptr) return false;
  gtk_window_set_title(GTK_WINDOW(Gtk.Window), title);
  // The key handlers come first, before the menu bar hooks its own into the window.
  g_signal_connect(Gtk.Window, "key-press-event", G_CALLBACK(OnKey), nullptr);
  g_signal_connect(Gtk.Window, "key-release-event", G_CALLBACK(OnKey), nullptr);
  g_signal_connect(Gtk.Window, "focus-out-event", G_CALLBACK(OnFocusOut), nullptr);
  g_signal_connect(Gtk.Window, "delete-event", G_CALLBACK(OnDelete), nullptr);
  g_signal_connect(Gtk.Window, "destroy", G_CALLBACK(OnDestroy), nullptr);
  // Files can be dropped on the window; GTK fetches the dropped names and ends the drop.
  gtk_drag_dest_set(Gtk.Window, GTK_DEST_DEFAULT_ALL, nullptr, 0, GDK_ACTION_COPY);
  gtk_drag_dest_add_uri_targets(Gtk.Window);
  g_signal_connect(Gtk.Window, "drag-data-received", G_CALLBACK(OnDragDataReceived), nullptr);

  Gtk.Canvas = gtk_drawing_area_new();
  gtk_widget_set_hexpand(Gtk.Canvas, TRUE);
  gtk_widget_set_vexpand(Gtk.Canvas, TRUE);
  g_signal_connect(Gtk.Canvas, "draw", G_CALLBACK(OnDraw), nullptr);
  g_signal_connect(Gtk.Canvas, "size-allocate", G_CALLBACK(OnCanvasSizeAllocate), nullptr);

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  if (Gtk.MenuBar != nullptr) gtk_box_pack_start(GTK_BOX(box), Gtk.MenuBar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), Gtk.Canvas, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(Gtk.Window), box);

  gtk_window_set_default_size(GTK_WINDOW(Gtk.Window), std::max(1, width - WindowFrameWidth),
                              std::max(1, height - WindowFrameHeight) + MenuBarHeight());
  SendToWindow(Gtk.Window, MessageCreate, 0, 0);
  return true;
}

void ShowMainWindow(std::int32_t) {
  if (Gtk.Window == nullptr) return;
  gtk_widget_show_all(Gtk.Window);
  gtk_widget_queue_draw(Gtk.Window);
}

void DestroyMainWindow() {
  if (Gtk.Window != nullptr) gtk_widget_destroy(Gtk.Window);
}

void ReadClientSize(std::int32_t* width, std::int32_t* height) {
  *width = Gtk.Canvas != nullptr ? gtk_widget_get_allocated_width(Gtk.Canvas) : 0;
  *height = Gtk.Canvas != nullptr ? gtk_widget_get_allocated_height(Gtk.Canvas) : 0;
}

void SetMenuItemCheck(int subMenu, std::uint32_t command, const char* text, bool checked) {
  for (const MenuItemWidget& item : Gtk.MenuItems) {
    if (item.SubMenu != subMenu || item.Command != command) continue;
    Gtk.UpdatingMenu = true;
    gtk_menu_item_set_label(GTK_MENU_ITEM(item.Widget), MnemonicLabel(text).c_str());
    if (item.Checkable) gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item.Widget), checked);
    Gtk.UpdatingMenu = false;
  }
}

// --- Painting ---

// Cairo draws straight from the caller's pixels; there is nothing to open.
void OpenPainter() {}
void ClosePainter() {}

void RequestRepaint() {
  if (Gtk.Canvas != nullptr) gtk_widget_queue_draw(Gtk.Canvas);
}

void PaintPicture(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                  std::int32_t targetWidth, std::int32_t targetHeight) {
  if (Gtk.PaintContext == nullptr || pixels == nullptr || width <= 0 || height <= 0) return;
  DrawBottomUp(Gtk.PaintContext, pixels, width, height, 0, 0, targetWidth, targetHeight);
}

// --- Messages ---

bool TakeMessage(WindowMessage* message) {
  // GTK's events come in through the signal handlers above, which queue their messages.
  while (Gtk.Queue.empty() && gtk_events_pending()) gtk_main_iteration_do(FALSE);
  if (Gtk.Queue.empty()) return false;
  *message = Gtk.Queue.front();
  Gtk.Queue.pop_front();
  return true;
}

void WaitMessage() {
  while (Gtk.Queue.empty()) gtk_main_iteration_do(TRUE);
}

// GTK runs an idle callback on the main thread whichever thread adds it.
gboolean PostNull(gpointer) {
  Post(MessageNull, 0, 0);
  return G_SOURCE_REMOVE;
}

void WakeMainLoop() { g_idle_add(PostNull, nullptr); }

void PostQuitMessage(std::int32_t exitCode) {
  Post(MessageQuit, static_cast<std::uintptr_t>(exitCode), 0);
}

// --- Time ---

void Sleep(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::int64_t CounterFrequency() { return MonotonicFrequency; }

std::int64_t ReadCounter() { return g_get_monotonic_time(); }

bool StartTimer(std::uint32_t periodMilliseconds, TimerCallback callback) {
  StartPeriodicTimer(Gtk.Timer, periodMilliseconds, callback);
  return true;
}

void StopTimer() { StopPeriodicTimer(Gtk.Timer); }

// --- Dialogs ---

// The file dialog for opening or saving; saving asks before it replaces a file.
bool RunFileChooser(GtkFileChooserAction action, const char* filter, char* path,
                    std::size_t capacity) {
  const bool save = action == GTK_FILE_CHOOSER_ACTION_SAVE;
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      save ? "Save" : "Open", Gtk.Window != nullptr ? GTK_WINDOW(Gtk.Window) : nullptr, action,
      "_Cancel", GTK_RESPONSE_CANCEL, save ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_do_overwrite_confirmation(chooser, save);
  for (const FileFilterSpec& spec : ParseFileFilter(filter)) {
    GtkFileFilter* fileFilter = gtk_file_filter_new();
    gtk_file_filter_set_name(fileFilter, spec.Description.c_str());
    for (const std::string& pattern : spec.Patterns) {
      gtk_file_filter_add_pattern(fileFilter, pattern.c_str());
    }
    gtk_file_chooser_add_filter(chooser, fileFilter);
  }
  // The name offered: the dialog opens in its folder with it selected, or in the folder
  // offered.
  const std::size_t offered = std::strlen(path);
  if (offered > 0 && path[offered - 1] == '/') {
    gtk_file_chooser_set_current_folder(chooser, path);
  } else if (offered > 0) {
    gtk_file_chooser_set_filename(chooser, path);
  }
  bool picked = false;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    gchar* name = gtk_file_chooser_get_filename(chooser);
    // A name too long for the buffer counts as no choice, as the Windows dialog reports it.
    if (name != nullptr && std::strlen(name) < capacity) {
      std::memcpy(path, name, std::strlen(name) + 1);
      picked = true;
    }
    g_free(name);
  }
  gtk_widget_destroy(dialog);
  return picked;
}

bool ChooseFile(const char* filter, char* path, std::size_t capacity) {
  return RunFileChooser(GTK_FILE_CHOOSER_ACTION_OPEN, filter, path, capacity);
}

bool ChooseSaveFile(const char* filter, char* path, std::size_t capacity) {
  return RunFileChooser(GTK_FILE_CHOOSER_ACTION_SAVE, filter, path, capacity);
}

bool TakeDroppedFile(std::uintptr_t, char* path, std::size_t capacity) {
  return Gtk.DroppedFiles.Take(path, capacity);
}

void OnAboutOk(GtkButton*, gpointer dialog) {
  gtk_dialog_response(GTK_DIALOG(dialog), static_cast<gint>(AboutOkButtonId));
}

// Bitmap 105 as a cairo surface.
cairo_surface_t* AboutPicture() {
  std::vector<std::uint32_t> pixels(AboutPictureWidth * AboutPictureHeight);
  DrawAboutPicture(pixels.data());
  cairo_surface_t* picture =
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, AboutPictureWidth, AboutPictureHeight);
  cairo_surface_flush(picture);
  unsigned char* data = cairo_image_surface_get_data(picture);
  const int stride = cairo_image_surface_get_stride(picture);
  for (int y = 0; y < AboutPictureHeight; ++y) {
    std::memcpy(data + y * stride, pixels.data() + y * AboutPictureWidth, AboutPictureWidth * 4);
  }
  cairo_surface_mark_dirty(picture);
  return picture;
}

// The picture in a frame with the OK button across the dialog's width beneath it, as the
// dialog's template lays them out.
void ShowAboutDialog() {
  GtkWidget* dialog = gtk_dialog_new();
  gtk_window_set_title(GTK_WINDOW(dialog), AboutDialogCaption);
  if (Gtk.Window != nullptr) {
    gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(Gtk.Window));
  }
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);

  cairo_surface_t* picture = AboutPicture();
  GtkWidget* frame = gtk_frame_new(nullptr);
  gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_IN);
  gtk_container_add(GTK_CONTAINER(frame), gtk_image_new_from_surface(picture));
  cairo_surface_destroy(picture);
  GtkWidget* ok = gtk_button_new_with_mnemonic(MnemonicLabel(AboutOkButtonText).c_str());
  g_signal_connect(ok, "clicked", G_CALLBACK(OnAboutOk), dialog);

  GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
  gtk_box_set_spacing(GTK_BOX(content), 8);
  gtk_container_set_border_width(GTK_CONTAINER(content), 8);
  gtk_box_pack_start(GTK_BOX(content), frame, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(content), ok, FALSE, FALSE, 0);
  gtk_widget_show_all(dialog);
  gtk_widget_grab_focus(ok);
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}

bool ReadClipboardText(std::string* text) {
  gchar* clipboard = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
  if (clipboard == nullptr) return false;
  *text = clipboard;
  g_free(clipboard);
  return true;
}

void ShowMessageBox(const char* text, const char* caption) {
  GtkWindow* owner = Gtk.Window != nullptr ? GTK_WINDOW(Gtk.Window) : nullptr;
  GtkWidget* dialog = gtk_message_dialog_new(owner, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                             GTK_BUTTONS_OK, "%s", text);
  gtk_window_set_title(GTK_WINDOW(dialog), caption);
  // The text can be selected and copied, as a Windows message box copies it with Ctrl+C: a
  // file's name, for one. OK keeps the focus.
  GList* labels =
      gtk_container_get_children(GTK_CONTAINER(gtk_message_dialog_get_message_area(
          GTK_MESSAGE_DIALOG(dialog))));
  for (GList* label = labels; label != nullptr; label = label->next) {
    gtk_label_set_selectable(GTK_LABEL(label->data), TRUE);
  }
  g_list_free(labels);
  gtk_widget_grab_focus(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK));
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}

// --- Window size, place and full screen ---

void ResizeMainWindow(std::int32_t outerWidth, std::int32_t outerHeight) {
  if (Gtk.Window == nullptr) return;
  gtk_window_resize(GTK_WINDOW(Gtk.Window), std::max(1, outerWidth - WindowFrameWidth),
                    std::max(1, outerHeight - WindowFrameHeight) + MenuBarHeight());
}

void ShowMouseCursor(bool visible) {
  if (Gtk.Window == nullptr) return;
  GdkWindow* window = gtk_widget_get_window(Gtk.Window);
  if (window == nullptr) return;
  GdkCursor* cursor = visible ? nullptr
                               : gdk_cursor_new_for_display(gdk_window_get_display(window),
                                                            GDK_BLANK_CURSOR);
  gdk_window_set_cursor(window, cursor);
  if (cursor != nullptr) g_object_unref(cursor);
}

GdkRectangle MonitorArea() {
  GdkRectangle area = {0, 0, 0, 0};
  GdkDisplay* display = gdk_display_get_default();
  GdkWindow* window = Gtk.Window != nullptr ? gtk_widget_get_window(Gtk.Window) : nullptr;
  GdkMonitor* monitor = window != nullptr ? gdk_display_get_monitor_at_window(display, window)
                                          : gdk_display_get_primary_monitor(display);
  if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
  if (monitor != nullptr) gdk_monitor_get_geometry(monitor, &area);
  return area;
}

DisplayMode ReadDesktopMode() {
  const GdkRectangle area = MonitorArea();
  GdkVisual* visual = gdk_screen_get_system_visual(gdk_screen_get_default());
  return {area.width, area.height, visual != nullptr ? gdk_visual_get_depth(visual) : 0};
}

WindowRect ReadMainWindowRect() {
  if (Gtk.Window == nullptr) return {0, 0, 0, 0};
  int x = 0, y = 0, width = 0, height = 0;
  gtk_window_get_position(GTK_WINDOW(Gtk.Window), &x, &y);
  gtk_window_get_size(GTK_WINDOW(Gtk.Window), &width, &height);
  return {x, y, x + width, y + height};
}

void MoveMainWindow(const WindowRect& rect) {
  if (Gtk.Window == nullptr) return;
  gtk_window_move(GTK_WINDOW(Gtk.Window), rect.Left, rect.Top);
  gtk_window_resize(GTK_WINDOW(Gtk.Window), std::max(1, rect.Right - rect.Left),
                    std::max(1, rect.Bottom - rect.Top));
  gtk_widget_queue_draw(Gtk.Window);
}

// The display's mode stays as the desktop has it; the window covers the monitor instead, and
// the picture is scaled up when drawn.
bool AcquireFullScreen() {
  if (Gtk.Window == nullptr) return false;
  GtkWindow* window = GTK_WINDOW(Gtk.Window);
  gtk_widget_hide(Gtk.MenuBar);
  gtk_window_set_decorated(window, FALSE);
  gtk_window_fullscreen(window);
  // Without a window manager to honour the request, cover the monitor by hand.
  const GdkRectangle area = MonitorArea();
  gtk_window_move(window, area.x, area.y);
  gtk_window_resize(window, area.width, area.height);
  Gtk.FullScreenHeld = true;
  Gtk.FullScreenWidth = Gtk.FullScreenHeight = 0;
  gtk_widget_queue_draw(Gtk.Canvas);
  return true;
}

void ReleaseFullScreen() {
  Gtk.FullScreenHeld = false;
  if (Gtk.Window == nullptr) return;
  gtk_window_unfullscreen(GTK_WINDOW(Gtk.Window));
  gtk_window_set_decorated(GTK_WINDOW(Gtk.Window), TRUE);
  gtk_widget_show(Gtk.MenuBar);
}

bool PresentIndexedPicture(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                           const FullScreenPaletteEntry* palette) {
  if (!Gtk.FullScreenHeld || Gtk.Canvas == nullptr) return false;
  Gtk.FullScreenPixels.assign(pixels, pixels + static_cast<std::size_t>(width) * height);
  Gtk.FullScreenWidth = width;
  Gtk.FullScreenHeight = height;
  for (int i = 0; i < 256; ++i) {
    Gtk.FullScreenPalette[i] = (std::uint32_t{palette[i].Red} << 16) |
                               (std::uint32_t{palette[i].Green} << 8) | palette[i].Blue;
  }
  gtk_widget_queue_draw(Gtk.Canvas);
  return true;
}

}  // namespace

bool OpenGtkDisplay() { return gtk_init_check(nullptr, nullptr) != FALSE; }

void UseGtkBackend() {
  Platform = {
      .RegisterMainWindowClass = RegisterMainWindowClass,
      .LoadMainMenu = LoadMainMenu,
      .CreateMainWindow = CreateMainWindow,
      .ShowMainWindow = ShowMainWindow,
      .DestroyMainWindow = DestroyMainWindow,
      .ReadClientSize = ReadClientSize,
      .SetMenuItemCheck = SetMenuItemCheck,
      .OpenPainter = OpenPainter,
      .ClosePainter = ClosePainter,
      .RequestRepaint = RequestRepaint,
      .PaintPicture = PaintPicture,
      .TakeMessage = TakeMessage,
      .DeliverMessage = DeliverToWindow,
      .WaitMessage = WaitMessage,
      .PostQuitMessage = PostQuitMessage,
      // GTK has done its own part already (system keys open the menu bar before the message
      // is queued); what remains is closing, which destroys the window.
      .DefaultWindowProc = CloseOnlyDefaultWindowProc,
      .Sleep = Sleep,
      .CounterFrequency = CounterFrequency,
      .ReadCounter = ReadCounter,
      .StartPeriodicTimer = StartTimer,
      .StopPeriodicTimer = StopTimer,
      .ChooseFile = ChooseFile,
      .ChooseSaveFile = ChooseSaveFile,
      .ShowAboutDialog = ShowAboutDialog,
      .ShowMessageBox = ShowMessageBox,
      .ReadClipboardText = ReadClipboardText,
      .HoldOffScreenSaver = GtkHoldOffScreenSaver,
      .TakeDroppedFile = TakeDroppedFile,
      .WakeMainLoop = WakeMainLoop,
  };
  DisplayPlatform = {
      .ResizeMainWindow = ResizeMainWindow,
      .ShowMouseCursor = ShowMouseCursor,
      .ReadDesktopMode = ReadDesktopMode,
      .ReadMainWindowRect = ReadMainWindowRect,
      .MoveMainWindow = MoveMainWindow,
      // The window's size is remembered as it is.
      .ReadWindowPlacement = nullptr,
      .MaximizeMainWindow = nullptr,
      .AcquireFullScreen = AcquireFullScreen,
      .ReleaseFullScreen = ReleaseFullScreen,
      .SetDisplayMode = nullptr,
      .PresentIndexedPicture = PresentIndexedPicture,
      .CreatePictureBuffer = nullptr,
      .FreePictureBuffer = nullptr,
  };
}

}  // namespace quillon

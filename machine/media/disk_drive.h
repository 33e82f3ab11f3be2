// Device 8: the disk drive as the KERNAL's LOAD and SAVE reach it, with a D64 disk image or a
// T64 tape archive in it. The image stays a file: every LOAD reads it afresh, and every SAVE
// writes the whole image to a new file beside it that then takes the image's name, so that an
// interrupted SAVE never leaves half an image behind.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "media/disk_directory.h"
#include "media/media_file.h"

namespace quillon {

// While set, the KERNAL traps of device 8 are armed.
extern int DiskAttached;
extern std::string DiskPath;

// Attaches the image when CheckDiskImage finds nothing wrong; returns CheckDiskImage's answer.
std::string AttachDiskImage(const std::string& path);
void DetachDiskImage();

// LOAD from the image at `imagePath`: `name` as the KERNAL holds it (PETSCII, with the drive's "0:"
// prefix, '*' and '?'), "$" (optionally "$0:pattern") for the directory. `file` receives the
// file's bytes, load address first.
DiskStatus DiskLoad(const std::string& imagePath, std::span<const std::uint8_t> name,
                    std::vector<std::uint8_t>& file);

// SAVE to the image at `imagePath`: `name` may start with "@0:" (or "@:") to replace a file of that
// name; `file` holds the load address, then the bytes.
DiskStatus DiskSave(const std::string& imagePath, std::span<const std::uint8_t> name,
                    std::span<const std::uint8_t> file);

}  // namespace quillon

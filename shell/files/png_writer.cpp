#include "files/png_writer.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "files/crc32.h"
#include "interface/picture.h"
#include "media/utf8_path.h"

namespace quillon {
namespace {

// A PNG file is its signature and a chain of chunks: the header, the image data as one zlib
// stream, and the end marker. Screenshots are small, so the zlib stream holds the rows in
// stored (uncompressed) deflate blocks: every PNG reader takes them, and no compressor is
// needed.
constexpr std::uint8_t Signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t BitDepth = 8;
constexpr std::uint8_t ColourTypeRgb = 2;
// zlib's stream header: deflate with a 32 KB window, no preset dictionary, a check value that
// makes the two bytes a multiple of 31.
constexpr std::uint8_t ZlibHeader[] = {0x78, 0x01};
constexpr std::size_t StoredBlockLimit = 65535;
constexpr std::uint8_t StoredBlock = 0x00;
constexpr std::uint8_t FinalStoredBlock = 0x01;
constexpr std::uint8_t NoFilter = 0;

// Adler-32, the check value at the end of a zlib stream, over the uncompressed bytes.
std::uint32_t Adler32(const std::vector<std::uint8_t>& data) {
  constexpr std::uint32_t Modulus = 65521;
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (std::uint8_t byte : data) {
    a = (a + byte) % Modulus;
    b = (b + a) % Modulus;
  }
  return (b << 16) | a;
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, const char (&type)[5],
              const std::vector<std::uint8_t>& data) {
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBigEndian(out, Crc32(out.data() + start, out.size() - start));
}

std::vector<std::uint8_t> StoredZlibStream(const std::vector<std::uint8_t>& raw) {
  std::vector<std::uint8_t> stream(std::begin(ZlibHeader), std::end(ZlibHeader));
  std::size_t offset = 0;
  do {
    const std::size_t length = std::min(StoredBlockLimit, raw.size() - offset);
    const bool last = offset + length == raw.size();
    stream.push_back(last ? FinalStoredBlock : StoredBlock);
    // The block's length and its ones' complement, low byte first.
    for (std::uint32_t value : {static_cast<std::uint32_t>(length),
                                static_cast<std::uint32_t>(~length & 0xFFFF)}) {
      stream.push_back(static_cast<std::uint8_t>(value));
      stream.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    stream.insert(stream.end(), raw.begin() + static_cast<std::ptrdiff_t>(offset),
                  raw.begin() + static_cast<std::ptrdiff_t>(offset + length));
    offset += length;
  } while (offset < raw.size());
  PutBigEndian(stream, Adler32(raw));
  return stream;
}

}  // namespace

bool WritePng(const std::string& path, const std::uint32_t* pixels, int width, int height,
              int stride) {
  if (pixels == nullptr || width <= 0 || height <= 0 || std::abs(stride) < width) return false;
  // Each row as PNG filters it: a filter type byte, then red, green, blue per pixel.
  std::vector<std::uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(height) * (1 + static_cast<std::size_t>(width) * 3));
  for (int row = 0; row < height; ++row) {
    const std::uint32_t* in = pixels + static_cast<std::ptrdiff_t>(row) * stride;
    raw.push_back(NoFilter);
    for (int column = 0; column < width; ++column) {
      raw.push_back(static_cast<std::uint8_t>(in[column] >> 16));
      raw.push_back(static_cast<std::uint8_t>(in[column] >> 8));
      raw.push_back(static_cast<std::uint8_t>(in[column]));
    }
  }

  std::vector<std::uint8_t> header;
  PutBigEndian(header, static_cast<std::uint32_t>(width));
  PutBigEndian(header, static_cast<std::uint32_t>(height));
  // Bit depth and colour type, then deflate, the standard filters and no interlacing.
  header.insert(header.end(), {BitDepth, ColourTypeRgb, 0, 0, 0});

  std::vector<std::uint8_t> file(std::begin(Signature), std::end(Signature));
  PutChunk(file, "IHDR", header);
  PutChunk(file, "IDAT", StoredZlibStream(raw));
  PutChunk(file, "IEND", {});

  std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  out.close();
  return static_cast<bool>(out);
}

bool WritePicturePng(const std::string& path, const std::uint8_t* picture) {
  if (picture == nullptr) return false;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(PictureWidth) * PictureHeight);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = Palette[picture[i] & 0x0F];
  return WritePng(path, pixels.data(), PictureWidth, PictureHeight, PictureWidth);
}

}  // namespace quillon

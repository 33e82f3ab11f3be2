# Turns the three ROM image files into C++ source in the build tree, so the program carries
# its ROMs without a single ROM byte living in the repository.

function(quillon_embed_rom_array out_var file expected_size array_name)
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "ROM image '${file}' is missing: put it into ${QUILLON_ROM_DIR} "
                        "or point QUILLON_ROM_DIR at the directory that holds it.")
  endif()
  file(SIZE "${file}" size)
  if(NOT size EQUAL expected_size)
    message(FATAL_ERROR "ROM image '${file}' is ${size} bytes long, expected ${expected_size} "
                        "(directory ${QUILLON_ROM_DIR}).")
  endif()
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # Thirty-two bytes per line keeps the generated file readable.
  string(REGEX REPLACE "((0x..,){32})" "\\1\n    " bytes "${bytes}")
  set(${out_var} "${bytes}" PARENT_SCOPE)
  set(${array_name}_HEX "${hex}" PARENT_SCOPE)
endfunction()

function(quillon_embed_roms rom_dir out_dir)
  set(basic "${rom_dir}/basic.bin")
  set(kernal "${rom_dir}/kernal.bin")
  set(chargen "${rom_dir}/chargen.bin")
  quillon_embed_rom_array(basic_bytes "${basic}" 8192 BASIC)
  quillon_embed_rom_array(kernal_bytes "${kernal}" 8192 KERNAL)
  quillon_embed_rom_array(chargen_bytes "${chargen}" 4096 CHARGEN)

  # The reset vector sits at KERNAL offsets $1FFC (low) and $1FFD (high): hex digits
  # 16376-16379 of the image's hex dump.
  string(SUBSTRING "${KERNAL_HEX}" 16376 2 vector_low)
  string(SUBSTRING "${KERNAL_HEX}" 16378 2 vector_high)

  file(MAKE_DIRECTORY "${out_dir}")
  file(CONFIGURE OUTPUT "${out_dir}/builtin_rom_vector.h" CONTENT
"// Generated from the KERNAL image at configure time; do not edit.
#pragma once
#include <cstdint>
namespace quillon {
inline constexpr std::uint16_t BuiltinKernalResetVector = 0x${vector_high}${vector_low};
}
")
  file(CONFIGURE OUTPUT "${out_dir}/builtin_rom_images.cpp" CONTENT
"// Generated from the ROM image files at configure time; do not edit.
#include \"core/rom_images.h\"
namespace quillon {
// Constant-initialised: the images hold their built-in bytes before any code runs.
RomImageSet RomImages = {
  {
    ${basic_bytes}
  },
  {
    ${kernal_bytes}
  },
  {
    ${chargen_bytes}
  },
};
}  // namespace quillon
")
  set_property(DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               "${basic}" "${kernal}" "${chargen}")
  set(QUILLON_GENERATED_ROM_SOURCES "${out_dir}/builtin_rom_images.cpp" PARENT_SCOPE)
endfunction()

# Turns the window's resource files (dialog templates, menus, string table) into a C++ source
# of byte arrays, so that every view reads the same data without looking up files at run time.
# Run as a script:  cmake -DOUTPUT=<file.cpp> -DROOT=<resources folder> -DFILES=<a,b,c> -P this
# Each file is found by its path relative to ROOT ("dialogs/102.json").
string(REPLACE "," ";" FILES "${FILES}")
set(_entries "")
set(_arrays "")
set(_n 0)
foreach(_name IN LISTS FILES)
  file(READ "${ROOT}/${_name}" _hex HEX)
  string(LENGTH "${_hex}" _length)
  math(EXPR _size "${_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  string(REGEX REPLACE "((0x..,){20})" "\\1\n    " _bytes "${_bytes}")
  string(APPEND _arrays "const unsigned char kData${_n}[] = {\n    ${_bytes}0x00};\n")
  string(APPEND _entries "    {\"${_name}\", reinterpret_cast<const char*>(kData${_n}), ${_size}},\n")
  math(EXPR _n "${_n} + 1")
endforeach()
set(_text "// Generated from resources/ by cmake/EmbedResources.cmake: do not edit.
#include \"ui/EmbeddedResources.h\"

#include <cstddef>

namespace {
${_arrays}
struct Entry {
    const char* name;
    const char* data;
    std::size_t size;
};
const Entry kEntries[] = {
${_entries}};
}  // namespace

std::string_view EmbeddedResource(std::string_view name) {
    for (const Entry& entry : kEntries) {
        if (name == entry.name) {
            return std::string_view(entry.data, entry.size);
        }
    }
    return std::string_view();
}
")
# Written only when it changes, so that an unchanged resource rebuilds nothing.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" _old)
  if(_old STREQUAL _text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${_text}")

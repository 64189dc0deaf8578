#pragma once
// The window's resource files (dialog templates, menus, the string table), compiled into the
// program from resources/ at build time so that every view reads the same data and nothing is
// looked up on disk. Constant data: any thread may read it.
#include <string_view>

// The bytes of the file `name` of resources/ ("dialogs/102.json"); empty when there is none.
std::string_view EmbeddedResource(std::string_view name);

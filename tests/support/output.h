// The programs' fixed texts, as the tests expect them: banners and Velkor's entry line.
#pragma once

#include <cstdio>
#include <string>

inline const std::string kVelkorBanner = "\nVelkor ver. 1.6\n\n";
inline const std::string kDrasilBanner = "\nDrasil V 0.30\n\n";
inline const std::string kPandrelHead =
    "\nPandrel ver. 1.2\n\nDirectory of MZQ:          Begin    Len Start  Exec\n";

// Velkor's banner and the line that names an input file.
inline std::string VelkorFileBanner(const std::string& input) {
  return kVelkorBanner + "File: " + input + "\n";
}

// One entry line of Velkor without columns: type, quoted name, size.
inline std::string VelkorEntryLine(const char* type, const std::string& name, size_t size) {
  char line[100];
  std::snprintf(line, sizeof line, " %s  %-18s:` %5zu Bytes\n", type,
                ("\"" + name + "\"").c_str(), size);
  return line;
}

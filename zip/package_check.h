// What a publisher learns about a package before publishing it: how Chinese Windows' shell and
// the installer's own reader will name its entries, where they will find the product
// executable, and which entries the installer cannot take.
#pragma once

#include <string>
#include <vector>

#include "zip/zip_records.h"

struct PackageCheck {
  std::vector<std::wstring> shellFinds;   // the product executable's paths, as the shell names them
  std::vector<std::wstring> readerFinds;  // the same, as the installer's reader names them
  std::vector<std::wstring> problems;     // one line for each entry that will not install as meant
  bool windows7Reader = false;  // Windows 7's zip folder would misname entries: our reader takes it
  bool Passes() const { return !shellFinds.empty() && !readerFinds.empty() && problems.empty(); }
};

// Names without the UTF-8 mark are read in code page 936 by the shell and by the rule of
// DecodeEntryName (UTF-8 when the bytes are) by the reader.
PackageCheck CheckPackageEntries(const std::vector<ZipEntryRecord>& entries);

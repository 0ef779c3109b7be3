#pragma once
#include <string>

// A fresh empty folder under the system's temporary folder, removed with all
// it holds when the object goes.
class CTempDir {
 public:
  CTempDir();
  ~CTempDir();
  CTempDir(const CTempDir&) = delete;
  CTempDir& operator=(const CTempDir&) = delete;

  // The folder's full path, without a final backslash.
  const std::string& GetPath() const { return m_strPath; }
  // The full path of name inside the folder.
  std::string operator/(const std::string& name) const { return m_strPath + "\\" + name; }

 private:
  std::string m_strPath;
};

// Writes data to path, replacing the file; false on failure.
bool WriteWholeFile(const std::string& path, const std::string& data);
// The whole content of path; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* data);
// Removes path, and everything below it when it is a folder (read-only files too).
void RemoveTree(const std::string& path);

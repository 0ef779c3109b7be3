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
// Whether anything (file or folder) is at path.
bool FileExists(const std::string& path);
// The folder of this test program, with a final backslash.
std::string OwnFolder();
// The process's current directory.
std::string CurrentDirectory();
// text with its letters in lower case (the system's rule), for comparing paths.
std::string Lower(std::string text);

// Puts the current directory back when the test is done with it.
class CCurrentDirectoryKeeper {
 public:
  CCurrentDirectoryKeeper() : m_strSaved(CurrentDirectory()) {}
  ~CCurrentDirectoryKeeper();
  CCurrentDirectoryKeeper(const CCurrentDirectoryKeeper&) = delete;
  CCurrentDirectoryKeeper& operator=(const CCurrentDirectoryKeeper&) = delete;

 private:
  std::string m_strSaved;
};

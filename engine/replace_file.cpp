#include "engine/replace_file.h"

#include <windows.h>

#include <cstdio>

#include "framework/file_system.h"
#include "framework/handle.h"
#include "framework/path.h"

namespace {

// The attributes a rename keeps and SetFileAttributesA can give.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                                  FILE_ATTRIBUTE_TEMPORARY;

// The pauses before each new try of a file another program holds: about a
// second in all, the time a scanner or an indexer keeps a new file open.
constexpr DWORD kPauses[] = {20, 50, 100, 200, 250, 350};

// The copy's name: this program's name, four hex digits and ".tmp".
constexpr char kCopyStem[] = "orvanezenvero-";
constexpr size_t kCopyNameLength = sizeof kCopyStem - 1 + 4 + 4;

using ReplaceFileProc = BOOL(WINAPI*)(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags,
                                      LPVOID exclude, LPVOID reserved);

// ReplaceFile where the system has it: Windows 95, 98 and Me do not.
ReplaceFileProc FindReplaceFile() { return HasReplaceFile() ? ReplaceFileNamed : nullptr; }

// CreateHardLink where the system has it (Windows 2000 on).
decltype(CReplaceFileRoutines::createHardLink) FindCreateHardLink() {
  return HasCreateHardLink() ? CreateHardLinkNamed : nullptr;
}

CReplaceFileRoutines g_routines = DefaultReplaceFileRoutines();

bool Exists(const std::string& path) { return GetFileAttributesNamed(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A failure that another program's handle on the file, held for a moment,
// explains.
bool IsPassing(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

// Runs `step` until it succeeds, or fails with an error `again` does not
// take (given the error), or the pauses of kPauses have all been waited.
// A failure leaves the last try's error as the last error.
template <typename Step, typename Again>
bool TryWhileHeld(Step step, Again again) {
  for (size_t attempt = 0;; ++attempt) {
    if (step()) return true;
    const DWORD error = GetLastError();
    if (attempt == sizeof kPauses / sizeof kPauses[0] || !again(error)) {
      SetLastError(error);
      return false;
    }
    g_routines.sleep(kPauses[attempt]);
  }
}

// Renames `from` to `to`, where nothing is, trying again while another
// program holds it.
bool MoveToFreeName(const std::string& from, const std::string& to) {
  return TryWhileHeld([&] { return g_routines.moveFileEx(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE; },
                      IsPassing);
}

void Remove(const std::string& path) {
  SetFileAttributesNamed(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileNamed(path.c_str());
}

// After a ReplaceFileA that failed: whatever it left, the target's name gets
// a whole content back (the converted one first, as the user asked), and
// the backup goes once it does. Decided by what is there, not by the error
// code alone, since the documented states differ between versions.
ReplaceOutcome Recover(const std::string& converted, const std::string& target, const std::string& backup,
                       DWORD error, std::string* kept) {
  if (Exists(target)) {
    // The target's name holds a whole file: the old one while the copy is
    // still there, else the new one.
    if (Exists(backup)) Remove(backup);
    SetLastError(error);
    return Exists(converted) ? ReplaceOutcome::kRefused : ReplaceOutcome::kReplaced;
  }
  if (Exists(converted) && MoveToFreeName(converted, target)) {
    if (Exists(backup)) Remove(backup);
    return ReplaceOutcome::kReplaced;
  }
  if (Exists(backup) && MoveToFreeName(backup, target)) {
    SetLastError(error);
    return ReplaceOutcome::kRefused;
  }
  if (kept != nullptr) {
    *kept = Exists(converted) ? converted : std::string();
    if (Exists(backup)) *kept += (kept->empty() ? "" : " and ") + backup;
  }
  SetLastError(error);
  return ReplaceOutcome::kCopyKept;
}

// The replacement through a second name of the target's, `second`, which
// the caller has just made: ReplaceFileA gives the copy the target's
// attributes, permissions and streams under that name (`spare` takes the
// old second name meanwhile), and one rename puts it over the target. The
// target keeps its name throughout. Whatever fails, the names of ours are
// taken away again, but never the converted copy while it is the only place
// of the new text before it stands under the target's name.
ReplaceOutcome ReplaceThroughSecondName(const std::string& converted, const std::string& target,
                                        const std::string& second, const std::string& spare) {
  const bool replaced = TryWhileHeld(
      [&] {
        return g_routines.replaceFile(second.c_str(), converted.c_str(), spare.c_str(),
                                      REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE;
      },
      [&](DWORD error) { return IsPassing(error) && Exists(second) && Exists(converted) && !Exists(spare); });
  if (!replaced) {
    const DWORD error = GetLastError();
    // The target is whole under its name whatever ReplaceFileA left: the
    // second and spare names are only names of it, or the copy under one.
    if (Exists(spare)) DeleteFileNamed(spare.c_str());
    if (Exists(second)) {
      if (Exists(converted)) DeleteFileNamed(second.c_str());
      else MoveToFreeName(second, converted);  // the copy under the second name goes back to its own
    }
    SetLastError(error);
    return ReplaceOutcome::kRefused;
  }
  // The old second name under `spare` is a name of the target's: it goes.
  DeleteFileNamed(spare.c_str());
  if (TryWhileHeld(
          [&] {
            return g_routines.moveFileEx(second.c_str(), target.c_str(),
                                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
          },
          IsPassing))
    return ReplaceOutcome::kReplaced;
  // The target as it was; the new text, with the target's permissions,
  // under the second name goes back to the copy's for the caller.
  const DWORD error = GetLastError();
  MoveToFreeName(second, converted);
  SetLastError(error);
  return ReplaceOutcome::kRefused;
}

}  // namespace

CReplaceFileRoutines DefaultReplaceFileRoutines() {
  return {FindReplaceFile(), MoveFileNamed, FlushFileBuffers, Sleep, FindCreateHardLink()};
}

const CReplaceFileRoutines& ReplaceFileRoutines() { return g_routines; }

CReplaceFileRoutines SetReplaceFileRoutines(const CReplaceFileRoutines& routines) {
  const CReplaceFileRoutines previous = g_routines;
  g_routines = routines;
  return previous;
}

std::string BackupNameOf(const std::string& converted) {
  const size_t dot = converted.find_last_of('.');
  return (dot == std::string::npos ? converted : converted.substr(0, dot)) + ".bak";
}

std::string SpareNameOf(const std::string& converted) {
  const size_t dot = converted.find_last_of('.');
  return (dot == std::string::npos ? converted : converted.substr(0, dot)) + ".old";
}

bool CreateSiblingFile(const std::string& folder, std::string& path, CFile* opened) {
  std::string where = folder.empty() ? "." : folder;
  if (where.back() != '\\' && where.back() != '/') where += '\\';
  if (PathUnits(where) + kCopyNameLength >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  // CREATE_NEW makes the name ours alone; the numbers start where the clock
  // and the process put them, so that runs side by side rarely meet.
  const DWORD start = GetTickCount() ^ (GetCurrentProcessId() << 8);
  for (DWORD n = 0; n < 0x10000; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%04lX.tmp", kCopyStem, static_cast<unsigned long>((start + n) & 0xFFFF));
    const std::string candidate = where + name;
    if (Exists(BackupNameOf(candidate)) || Exists(SpareNameOf(candidate))) continue;
    CFile file;
    CFileException failure;
    if (file.Open(candidate.c_str(), CFile::modeWrite | CFile::shareExclusive | CFile::modeCreate | CFile::modeCreateNew,
                  &failure)) {
      path = candidate;
      if (opened != nullptr) *opened = std::move(file);
      return true;
    }
    const DWORD error = static_cast<DWORD>(failure.m_lOsError);
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      SetLastError(error);
      return false;
    }
  }
  SetLastError(ERROR_FILE_EXISTS);
  return false;
}

ReplaceOutcome ReplaceWithConverted(const std::string& converted, const std::string& target, std::string* kept) {
  if (kept != nullptr) kept->clear();
  const DWORD attributes = GetFileAttributesNamed(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ReplaceOutcome::kRefused;
  // Checked here because a rename (and Wine run as root) would not refuse.
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return ReplaceOutcome::kRefused;
  }
  const DWORD convertedAttributes = GetFileAttributesNamed(converted.c_str());
  if (convertedAttributes == INVALID_FILE_ATTRIBUTES) return ReplaceOutcome::kRefused;
  // A file the user may not write is not the user's to replace, even in a
  // folder the user may write (where a rename would go through). A file
  // another program holds for a moment is waited for.
  const bool writable = TryWhileHeld(
      [&] {
        return CHandle(CreateFileNamed(target.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL))
            .IsValid();
      },
      [](DWORD error) { return error == ERROR_SHARING_VIOLATION; });
  if (!writable) return ReplaceOutcome::kRefused;
  // The target's attributes first: ReplaceFileA gives them too, a rename not.
  // Most often the new copy has them already (the archive mark alone), and
  // setting them costs as much as a rename.
  const DWORD keptAttributes = attributes & kKeptAttributes;
  if ((convertedAttributes & kKeptAttributes) != keptAttributes &&
      !SetFileAttributesNamed(converted.c_str(), keptAttributes != 0 ? keptAttributes : FILE_ATTRIBUTE_NORMAL))
    return ReplaceOutcome::kRefused;

  if (g_routines.replaceFile != nullptr && g_routines.createHardLink != nullptr) {
    const std::string second = BackupNameOf(converted);
    const std::string spare = SpareNameOf(converted);
    if (!Exists(spare) && g_routines.createHardLink(second.c_str(), target.c_str(), nullptr))
      return ReplaceThroughSecondName(converted, target, second, spare);
    // No second name here (a volume without hard links): ReplaceFileA itself.
  }
  if (g_routines.replaceFile != nullptr) {
    // With a backup name, ReplaceFileA's failures leave the old content
    // under a name known here; without one the old content may be left
    // under a name of the system's choosing. Permissions that cannot be
    // merged (some network shares) do not stop the replacement.
    const std::string backup = BackupNameOf(converted);
    // Both files keep their names after a passing failure: try again while
    // it may help.
    if (TryWhileHeld(
            [&] {
              return g_routines.replaceFile(target.c_str(), converted.c_str(), backup.c_str(),
                                            REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE;
            },
            [&](DWORD error) { return IsPassing(error) && Exists(target) && Exists(converted) && !Exists(backup); })) {
      Remove(backup);
      return ReplaceOutcome::kReplaced;
    }
    const DWORD error = GetLastError();
    // Only a system that has the call but cannot do it here (no such
    // support on the volume) falls back to the rename.
    if (error != ERROR_CALL_NOT_IMPLEMENTED && error != ERROR_NOT_SUPPORTED && error != ERROR_INVALID_FUNCTION)
      return Recover(converted, target, backup, error, kept);
  }
  if (g_routines.moveFileEx(converted.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return ReplaceOutcome::kReplaced;
  return ReplaceOutcome::kRefused;
}

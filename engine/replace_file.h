#pragma once
#include <windows.h>

#include <string>

#include "framework/file.h"

// What became of a replacement.
enum class ReplaceOutcome {
  kReplaced,  // the target holds the converted content; nothing else is left
  kRefused,   // the target holds what it had, under its name; `converted`
              // is still there, for the caller to remove
  kCopyKept,  // the target's name could be given neither content: the
              // converted copy stays where it is, never removed (and the old
              // content under the backup name, should it be there)
};

// Puts `converted`, a finished file beside `target` (same folder, so the
// same volume), in the place of `target`, so that the target ends either
// wholly the new content or wholly as it was, never cut short. Where the
// system has ReplaceFileA (the NT family) the target keeps what it had:
// its attributes, permissions and owner, alternate data streams and
// creation time; elsewhere `converted` is given the target's attributes and
// renamed over it. A read-only target, one the user may not write, a
// folder, or a target that is gone is refused, as a plain copy over it would
// be (with the system's error code as last error).
//
// Where the volume takes a second name for a file (hard links, NTFS), the
// target never leaves its name: ReplaceFileA puts the converted copy, with
// the target's attributes, permissions and streams, in the place of a second
// name of the target's (BackupNameOf), and one rename then puts that over
// the target at once. A run ended at any moment leaves the target whole
// under its name, and beside it at most the converted copy and a name of
// ours (the second name, or the copy's under it).
//
// Elsewhere ReplaceFileA is given a backup name beside the copy
// (BackupNameOf), so that each of its documented failures leaves both
// contents under names known here (a run ended inside it may leave the old
// content under the backup name only): a target that another program holds for a moment (sharing
// violation, access denied) is tried again for about a second; when the
// target's name is left empty, the converted copy takes it, or else the
// backup; the backup is removed once the target's name holds either. On
// kCopyKept, *kept names what is left ("" otherwise).
ReplaceOutcome ReplaceWithConverted(const std::string& converted, const std::string& target,
                                    std::string* kept = nullptr);

// A new empty file with a name of its own in `folder` (ending or not with a
// separator), for a converted copy: "orvanezenvero-XXXX.tmp", so that a copy
// left by a run that was ended can be told for what it is, with no file of
// its backup name there either; false, with the system's error as last
// error, when the folder cannot take one. With `opened`, the file is handed
// over open for writing and shared with no one, so that nothing can come
// into it between its making and its writing (and no second open is paid
// for); without it, the file is closed.
bool CreateSiblingFile(const std::string& folder, std::string& path, CFile* opened = nullptr);

// The backup name that goes with a converted copy's name: the same with
// ".bak" for its extension; and the spare name, with ".old".
std::string BackupNameOf(const std::string& converted);
std::string SpareNameOf(const std::string& converted);

// Where the in-place conversion meets the system. Tests replace them to
// script what only Windows does (the documented failures of ReplaceFileA, a
// file held for a moment by another program) and to watch the flush.
struct CReplaceFileRoutines {
  // Null where the system has no ReplaceFileA (Windows 95, 98 and Me).
  BOOL(WINAPI* replaceFile)(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID exclude,
                            LPVOID reserved);
  BOOL(WINAPI* moveFileEx)(LPCSTR existing, LPCSTR newName, DWORD flags);
  // Called on the converted copy before it takes the file's place.
  BOOL(WINAPI* flushFileBuffers)(HANDLE file);
  // The pause between two tries.
  void(WINAPI* sleep)(DWORD milliseconds);
  // Null where the system has no CreateHardLinkA (before Windows 2000); a
  // set without it replaces the file directly.
  BOOL(WINAPI* createHardLink)(LPCSTR link, LPCSTR existing, LPSECURITY_ATTRIBUTES security) = nullptr;
};
// The system's routines.
CReplaceFileRoutines DefaultReplaceFileRoutines();
// The routines in use.
const CReplaceFileRoutines& ReplaceFileRoutines();
// Installs the routines; returns the previous set.
CReplaceFileRoutines SetReplaceFileRoutines(const CReplaceFileRoutines& routines);

// Elevation: the marked copy's tail, the restart elevated and the fall-back
// to an installation for this user.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/installer/self_install_fixture.h"

namespace {

using namespace self_install_test;

TEST(ElevatedMark, ComesOffTheTailWhole) {
  struct Case {
    const char* tail;
    const char* stripped;
    bool marked;
  } cases[] = {
      {"/elevatedcopy /install", "/install", true},
      {"/elevatedcopy /uninstall", "/uninstall", true},
      {"/elevatedcopy", "", true},
      {"/elevatedcopy  a.txt", " a.txt", true},
      {"/install", "/install", false},
      {"/elevatedcopyx", "/elevatedcopyx", false},
      {" /elevatedcopy /install", " /elevatedcopy /install", false},
      {"", "", false},
  };
  for (const Case& c : cases) {
    bool marked = !c.marked;
    EXPECT_EQ(c.stripped, StripElevatedMark(c.tail, marked)) << c.tail;
    EXPECT_EQ(c.marked, marked) << c.tail;
  }
}

TEST_F(SelfInstallTest, ElevationRestartsOrFallsBackToAPerUserInstallation) {
  m_world.needsElevation = true;
  // Elevation granted: the elevated copy takes the run over, nothing asked.
  m_world.elevationResult = 0;
  {
    CScriptedBoxes boxes({IDYES});
    EXPECT_EQ(1, Run("/install"));
    EXPECT_TRUE(boxes.m_Boxes.empty());
    // Marked, so that the elevated copy never starts another.
    EXPECT_EQ(std::vector<std::string>{m_dist + "Velmora.exe|/elevatedcopy /install"},
              m_world.elevatedStarts);
  }
  // The marked copy, still not elevated (UAC off for a standard user), goes
  // on for this user instead of starting the next copy.
  {
    m_world.elevatedStarts.clear();
    m_world.destination = m_install;
    CScriptedBoxes boxes({IDYES});
    EXPECT_EQ(1, Run("/elevatedcopy /install"));
    EXPECT_TRUE(m_world.elevatedStarts.empty());
    EXPECT_EQ(std::vector<std::string>{kNewCopy}, boxes.Texts());
    ASSERT_EQ(1u, m_world.started.size());
    m_world.started.clear();
    m_world.proposals.clear();
    m_world.elevatedStarts = {m_dist + "Velmora.exe|/elevatedcopy /install"};
    RemoveTree(m_install);
    m_world.destination.clear();
  }
  // Neither the ordinary start nor the hand-over asks for elevation.
  WriteMachineRecord(kVersion, m_dist);
  EXPECT_EQ(0, Run(""));
  WriteMachineRecord(kVersion, "C:\\Other\\");
  EXPECT_EQ(1, Run(""));
  EXPECT_EQ(1u, m_world.elevatedStarts.size());
  ClearInstallation();

  // Declined: a per-user installation below the local application data.
  m_world.elevationResult = ERROR_CANCELLED;
  m_world.destination = m_install;
  m_world.started.clear();
  CScriptedBoxes boxes({IDYES});
  EXPECT_EQ(1, Run("/install"));
  EXPECT_EQ(std::vector<std::string>{kNewCopy}, boxes.Texts());
  ASSERT_EQ(1u, m_world.proposals.size());
  std::string proposal = m_world.proposals[0];
  EXPECT_NE(std::string::npos, proposal.find("\\AppData\\Local\\Programs\\Orvane Zenvero"))
      << proposal;
  ASSERT_EQ(1u, m_world.started.size());
  // Step 2 in the unelevated copy keeps everything per user, though the
  // machine-wide keys could be written here.
  EXPECT_EQ(0, RunStep2());
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_EQ(Folder(m_install), QueryRaw(HKEY_CURRENT_USER, kRecordKey, "Directory").Text().c_str());
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
  // Its links are the user's own.
  EXPECT_TRUE(FileExists(ProgramsFolder() + "\\" + kTitle + "\\Read Me.lnk"));
  EXPECT_FALSE(FileExists(CommonFolder("Programs") + "\\" + kTitle));

  // Uninstalling a per-user installation needs no elevation.
  m_world.elevatedStarts.clear();
  CScriptedBoxes no({IDNO});
  EXPECT_EQ(1, Run("/uninstall"));
  EXPECT_TRUE(m_world.elevatedStarts.empty());
  // A machine-wide one asks for it before the question.
  WriteMachineRecord(kVersion, Folder(m_install));
  m_world.elevationResult = 0;
  CScriptedBoxes none({IDNO});
  EXPECT_EQ(1, Run("/uninstall"));
  EXPECT_EQ(std::vector<std::string>{Folder(m_install) + "Velmora.exe|/elevatedcopy /uninstall"},
            m_world.elevatedStarts);
  EXPECT_TRUE(none.m_Boxes.empty());
  // Declined there, nothing is removed: half an uninstall would leave the
  // machine-wide entries and the files behind the user's back.
  m_world.elevationResult = ERROR_CANCELLED;
  CScriptedBoxes refused({IDYES});
  EXPECT_EQ(1, Run("/uninstall"));
  ASSERT_EQ(1u, refused.m_Boxes.size());
  EXPECT_EQ("Orvane Zenvero was installed for all users of this computer. Uninstalling it needs "
            "administrator rights.\n\nNothing has been removed.",
            refused.m_Boxes[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), refused.m_Boxes[0].type);
  EXPECT_EQ("Orvane Zenvero Uninstall", refused.m_Boxes[0].caption);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kRecordKey));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
  EXPECT_TRUE(FileExists(Folder(m_install) + "Velmora.exe"));
}

// Declined elevation over an installation for all users: the folder
// proposed is the user's own, not the machine's one the user may not write.
TEST_F(SelfInstallTest, TheFallbackForOneUserProposesTheUsersOwnFolder) {
  WriteMachineRecord("1.10", "C:\\Program Files\\Orvane Zenvero\\");
  m_world.needsElevation = true;
  m_world.elevationResult = ERROR_CANCELLED;
  m_world.destinationCancelled = true;
  CScriptedBoxes boxes({IDYES});
  EXPECT_EQ(1, Run("/install"));
  ASSERT_EQ(1u, m_world.proposals.size());
  EXPECT_NE(std::string::npos, m_world.proposals[0].find("\\AppData\\Local\\Programs\\Orvane Zenvero"))
      << m_world.proposals[0];
}

}  // namespace

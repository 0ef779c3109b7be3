#include "framework/wait_cursor.h"

CWaitCursor::CWaitCursor() : m_hPrevious(SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)))) {}  // IDC_WAIT

CWaitCursor::~CWaitCursor() { SetCursor(m_hPrevious); }

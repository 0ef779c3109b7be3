// Until the self-installer exists, every start is a normal start.
#include "app/converter_app.h"

BOOL CConverterApp::RunSelfInstall() { return FALSE; }

// The one application object; the framework's WinMain runs it.
#include "app/converter_app.h"

CConverterApp theApp;

// Where the installer's DLLs may come from.
#pragma once

// From here on a DLL loaded by name comes from System32, never from the folder the installer
// was downloaded into. Call first, before anything loads a DLL that is not a Known DLL.
void KeepDllSearchInSystem32();

#include "dialogs/OpenSave.h"
void OpenSave::ShowOpen() {}
void OpenSave::ShowSave() {}

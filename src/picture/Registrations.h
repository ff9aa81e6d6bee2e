// Start-up of the picture formats: every module's registrations with the picture registry, in the
// order that decides which class serves each extension, and their withdrawal at exit.
#pragma once

namespace ferronel {

void InitializePictureFormats();
void FinalizePictureFormats();

} // namespace ferronel

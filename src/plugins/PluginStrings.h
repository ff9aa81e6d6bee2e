// Message texts of the plug-in loader, each defined once.
#pragma once

namespace ferronel::plugins {

inline constexpr const char* SUnableToOpenFile = "Unable to open file";
inline constexpr const char* SErrorInBitmapData = "Error in bitmap data";
inline constexpr const char* SUnableToCloseFile = "Unable to close file";
inline constexpr const char* SLoadResultPattern = "Error in bitmap data: %d";
inline constexpr const char* SSaveResultPattern = "Error writing image file: %d";
inline constexpr const char* SNoPluginForType = "Unsupported file format";
inline constexpr const char* SUnsupportedBitmapFormat = "Unsupported bitmap format";
inline constexpr const char* SColorPlanes = "The image contains %d color planes, only 3 were loaded";

// Why a file in the plug-in folder was left out (reported by the viewer at start-up).
inline constexpr const char* SNotLoadable = "not a shared library: %s";
inline constexpr const char* SNoEntryPoints = "no plug-in entry points";
inline constexpr const char* SNoFreeFunction = "no image release function";
inline constexpr const char* SFilterUnterminated = "its %s filter text is not terminated within %d bytes";
inline constexpr const char* SFilterUnpaired = "its %s filter does not pair descriptions with patterns";
inline constexpr const char* SNoFileTypes = "its filters name no file types";

} // namespace ferronel::plugins

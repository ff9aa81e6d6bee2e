// The GIF unit's message texts, each defined once.
#pragma once

namespace ferronel::gif {

inline constexpr const char* sInvalidSignature = "Invalid GIF signature";
inline constexpr const char* sPrematureEnd = "Premature end of data";
inline constexpr const char* sScreenColorCount = "Invalid number of colors specified in Screen Descriptor";
inline constexpr const char* sImageColorCount = "Invalid number of colors specified in Image Descriptor";
inline constexpr const char* sImageExceedsScreen = "Image exceeds Logical Screen size";
inline constexpr const char* sInvalidIntroducer = "Invalid extension introducer";
inline constexpr const char* sUnknownExtension = "Unknown extension type";
inline constexpr const char* sExtensionLabelMismatch =
    "Internal error: Extension Instance does not match Extension Label";
inline constexpr const char* sAppBlockSize = "Unsupported Application Extension block size";
inline constexpr const char* sInvalidData = "Invalid GIF data";
inline constexpr const char* sUnknownBlock = "Unknown GIF block type";
inline constexpr const char* sInvalidTrailer = "Invalid Image trailer";
inline constexpr const char* sCircularTable = "Circular decoder table entry";
inline constexpr const char* sBitBufferUnderrun = "Decoder bit buffer under-run";
inline constexpr const char* sColorTableOverflow = "Color table overflow";
inline constexpr const char* sInvalidColorIndex = "Invalid color index";
inline constexpr const char* sColorTableEmpty = "Color table is empty";
inline constexpr const char* sNoColorTable = "No global or local color table defined";
inline constexpr const char* sObjectNotSupported = "Object type not supported for operation";
inline constexpr const char* sWidthTooSmall = "Image width too small for contained frames";
inline constexpr const char* sHeightTooSmall = "Image height too small for contained frames";
inline constexpr const char* sColorNotInTable = "Color not in color table";
inline constexpr const char* sUnsupportedVersion = "Unsupported GIF version";
inline constexpr const char* sUnsupportedPixelFormat = "Unsupported PixelFormat";
inline constexpr const char* sLoading = "Loading...";
inline constexpr const char* sSaving = "Saving...";
inline constexpr const char* sRendering = "Rendering...";
inline constexpr const char* sDescription = "GIF Image";

} // namespace ferronel::gif

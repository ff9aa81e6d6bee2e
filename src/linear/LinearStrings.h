// Message texts of the linear-bitmap library, each defined once.
#pragma once

namespace ferronel::linear {

// Streams.
inline constexpr const char* SNoAccess =
    "Either read, write or full access must be specified in call to CreateFile";
inline constexpr const char* SErrorOpening = "Error opening \"%s\" - %s";
inline constexpr const char* SErrorWriting = "Error writing to stream - %s";
inline constexpr const char* SErrorReading = "Error reading from stream - %s";
inline constexpr const char* SReadLess = "Read less than expected";
inline constexpr const char* SWriteLess = "Wrote less than expected";
inline constexpr const char* SIOError = "IO-error: %s";
inline constexpr const char* SErrorMoving = "Error moving file pointer - %s";
inline constexpr const char* SErrorTruncating = "Error truncating file \"%s\" - %s";
inline constexpr const char* SErrorClosing = "Error closing \"%s\" - %s";
inline constexpr const char* SErrorDeleting = "Error deleting \"%s\" - %s";
inline constexpr const char* SErrorMovingStream = "Error moving stream pointer";
inline constexpr const char* SSeekingNotSupported = "Seeking not supported";
inline constexpr const char* SUnknownSeekOrigin = "Unknown seek origin";
inline constexpr const char* SInvalidBufferSize = "Invalid buffer size";
inline constexpr const char* SCannotRead = "Cannot read from stream";
inline constexpr const char* SNotOpenForWrite = "Stream not open for write";
inline constexpr const char* SCannotAssign = "Cannot assign %s to %s";
inline constexpr const char* SNotImplemented = "%s.%s not implemented";

// Inflate.
inline constexpr const char* SCompressedDataError = "Error in compressed data";

// Bitmap and loaders.
inline constexpr const char* SUnsupportedPixelFormat = "Unsupported pixel format";
inline constexpr const char* SInvalidBitmapSize = "Invalid bitmap size";
inline constexpr const char* SUnsupportedFileFormat = "%s: Unsupported file format";
inline constexpr const char* SFileFormatNotSupported = "Unsupported file format";
inline constexpr const char* SBitmapFormatNotSupported = "Unsupported bitmap format";
inline constexpr const char* SBitmapDataError = "Error in bitmap data";

// BMP, PCX, HIPS, WMF and JPEG.
inline constexpr const char* SBMPDescription = "Windows bitmap";
inline constexpr const char* SPCXDescription = "Zsoft Paintbrush";
inline constexpr const char* SHIPSDescription = "HIPS image";
inline constexpr const char* SWMFDescription = "Windows metafile";
inline constexpr const char* SEMFDescription = "Windows enhanced metafile";
inline constexpr const char* SJPEGDescription = "Joint Picture Expert Group";
inline constexpr const char* SNoJPEGCodec = "JPEG support is not available";

// PNG and MNG.
inline constexpr const char* SInvalidPNGHeader = "Invalid PNG header";
inline constexpr const char* SInvalidPNGData = "Invalid PNG data";
inline constexpr const char* SUnsupportedPNGData = "Unsupported PNG data";
inline constexpr const char* SCRCError = "CRC error";
inline constexpr const char* SAdler32Error = "Adler32 error";
inline constexpr const char* SPNGDescription = "Portable Network Graphics";
inline constexpr const char* SMNGDescription = "Multiple-image Network Graphics";

// Icons and cursors.
inline constexpr const char* SNoIconsInFile = "No icons in file";
inline constexpr const char* SSizeMismatchInIcon = "Size mismatch in icon %d";
inline constexpr const char* SIconOutsideFile = "Icon %d lies outside the file";
inline constexpr const char* SImageTooLargeForIcon = "Image is too large for icon";
inline constexpr const char* SUnsupportedIconKind = "Unsupported file format";
inline constexpr const char* SICOFilter = "Windows icon (*.ico)|*.ico|Windows cursor (*.cur)|*.cur";
inline constexpr const char* SIconLoadCancelled = "Operation aborted";
inline constexpr const char* SCURDescription = "Windows cursors";

} // namespace ferronel::linear

// The reader library's message texts, each defined once.
#pragma once

namespace ferronel::readers {

// Colour manager
inline constexpr const char* gesInvalidColorFormat = "Invalid color format in %s file.";
inline constexpr const char* gesIndexedNotSupported =
    "Conversion between indexed and non-indexed pixel formats is not supported.";
inline constexpr const char* gesConversionUnsupported =
    "Color conversion failed. Could not find a proper method.";
inline constexpr const char* gesInvalidSampleDepth =
    "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.";
inline constexpr const char* gesInvalidPixelDepth =
    "Sample count per pixel does not correspond to the given color scheme.";
inline constexpr const char* gesInvalidSubSampling = "Subsampling value is invalid. Allowed are 1, 2 and 4.";
inline constexpr const char* gesVerticalSubSamplingError =
    "Vertical subsampling value must be <= horizontal subsampling value.";
inline constexpr const char* gesTargetFormatTooNarrow =
    "Color conversion failed. No bitmap pixel format holds the target layout.";

// Readers
inline constexpr const char* gesInvalidImage = "Cannot load image. Invalid or unexpected %s image format.";
inline constexpr const char* gesCompressionScheme = "The compression scheme is";
inline constexpr const char* gesNotSupported = "Cannot load image. %s not supported for %s files.";
inline constexpr const char* gesStreamReadError = "Stream read error in %s file.";
inline constexpr const char* gesInvalidCRC = "Cannot load image. CRC error found in %s file.";
inline constexpr const char* gesInvalidCompression = "Cannot load image. Compression error found in %s file.";
inline constexpr const char* gesExtraCompressedData =
    "Cannot load image. Extra compressed data found in %s file.";
inline constexpr const char* gesInvalidPalette = "Cannot load image. Palette in %s file is invalid.";
inline constexpr const char* gesUnknownCriticalChunk =
    "Cannot load PNG image. Unexpected but critical chunk detected.";
inline constexpr const char* gesTargaTooLarge =
    "Cannot save image. A TGA file holds at most 65535 x 65535 pixels; this picture is %d x %d.";

// Progress
inline constexpr const char* gesPreparing = "Preparing...";
inline constexpr const char* gesTransfering = "Transfering...";
inline constexpr const char* gesLoadingData = "Loading data...";
inline constexpr const char* gesUpsampling = "Upsampling...";

// Format list
inline constexpr const char* gesRegistration = "Attempt to register %s twice.";

} // namespace ferronel::readers

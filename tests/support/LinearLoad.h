// Loading and saving through one of the linear library's loaders from and to bytes in memory.
#pragma once

#include "host/Exceptions.h"
#include "linear/BitmapLoader.h"
#include "linear/LinearBitmap.h"
#include "linear/MemStream.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ferronel::test {

inline void LoadWith(linear::TBitmapLoader& Loader, const std::string& Ext, const std::vector<uint8_t>& File,
                     linear::TLinearBitmap& Bitmap) {
    linear::TMemStream stream;
    stream.Write(File.data(), int32_t(File.size()));
    stream.SetPosition(0);
    Loader.LoadFromStream(stream, Ext, Bitmap);
}

// The message loading raises, or "loaded".
inline std::string LoadErrorWith(linear::TBitmapLoader& Loader, const std::string& Ext,
                                 const std::vector<uint8_t>& File) {
    linear::TLinearBitmap bitmap;
    try {
        LoadWith(Loader, Ext, File, bitmap);
    } catch (const Exception& e) {
        return e.what();
    }
    return "loaded";
}

inline std::vector<uint8_t> SaveWith(linear::TBitmapLoader& Loader, const std::string& Ext,
                                     linear::TLinearBitmap& Bitmap) {
    linear::TMemStream stream;
    Loader.SaveToStream(stream, Ext, Bitmap);
    std::vector<uint8_t> out(size_t(stream.GetSize()));
    stream.SetPosition(0);
    stream.Read(out.data(), int32_t(out.size()));
    return out;
}

} // namespace ferronel::test

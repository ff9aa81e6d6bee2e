#include "gif/ColorQuantizer.h"
#include "gif/ColorReduction.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

TEST(ColorReduction, Placeholder) { SUCCEED(); }

} // namespace
} // namespace ferronel

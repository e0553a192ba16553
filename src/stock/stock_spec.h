#pragma once
// The stock's description. For the turning kinds zai_x is the outer diameter, zai_y the inner diameter,
// zai_z the length and zai_x_off the face protrusion.
#include <cstdint>

namespace vantrel {

struct StockSpec {
    float zai_x = 100, zai_y = 100, zai_z = 50;
    float zai_x_off = 0, zai_y_off = 0, zai_z_off = -50;
    int32_t polygonSides = 4;  // ComboBox3 "４角形"
    double pitch = 1.0;
    float thickness = 0;
    int32_t visible = 1;       // zai_type: the stock is shown
    bool interference = true;  // interference calculation
};

}  // namespace vantrel

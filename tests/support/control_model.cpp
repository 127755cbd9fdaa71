#include "support/control_model.h"

namespace tessel {

ControlModel::ControlModel() {
  for (const ControlSpec& spec : windowLayout()) {
    if (spec.kind == ControlKind::Cell) cells_[spec.index] = std::make_unique<ModelImage>(spec);
    if (spec.name == "imgRight") imgRight_ = std::make_unique<ModelImage>(spec);
    if (spec.name == "imgTop") imgTop_ = std::make_unique<ModelImage>(spec);
    if (spec.name == "Command1") command1_ = std::make_unique<ModelButton>(spec);
    if (spec.name == "Command2") command2_ = std::make_unique<ModelButton>(spec);
    if (spec.name == "Command3") command3_ = std::make_unique<ModelButton>(spec);
  }
}

ModelImage* ControlModel::image1(std::int16_t index) {
  auto it = cells_.find(index);
  return it == cells_.end() ? nullptr : it->second.get();
}

Picture ControlModel::imageList1(int n) const {
  return imageListPicture(n);
}

}  // namespace tessel

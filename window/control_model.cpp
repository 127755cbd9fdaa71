#include "window/control_model.h"

namespace tessel {

ControlModel::ControlModel()
    : imgRight_(std::make_unique<ModelImage>(*findControl("imgRight"))),
      imgTop_(std::make_unique<ModelImage>(*findControl("imgTop"))),
      command1_(std::make_unique<ModelButton>(*findControl("Command1"))),
      command2_(std::make_unique<ModelButton>(*findControl("Command2"))),
      command3_(std::make_unique<ModelButton>(*findControl("Command3"))) {
  for (const ControlSpec& spec : windowLayout()) {
    if (spec.kind == ControlKind::Cell) cells_[spec.index] = std::make_unique<ModelImage>(spec);
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

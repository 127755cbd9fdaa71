#include "support/control_model.h"

namespace tessel {

ControlModel::ControlModel() {
  for (const ControlSpec& spec : windowLayout()) {
    (spec.kind == ControlKind::Cell ? cells_[spec.index] : named_[spec.name]) = ModelControl(spec);
  }
}

ModelControl* ControlModel::image1(std::int16_t index) {
  auto it = cells_.find(index);
  return it == cells_.end() ? nullptr : &it->second;
}

}  // namespace tessel

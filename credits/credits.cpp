#include "credits/credits.h"

#include "form/layout.h"

namespace tessel {

std::string contactUrl() {
  // No padding after the address: a desktop mail handler would take it as part of the recipient.
  return "mailto:" + std::string(kContactAddress);
}

void Credits::Command2_Click() {
  LabelControl& label = controls_.label1();
  label.setVisible(!label.visible());
}

void Credits::Label1_MouseMove() {
  LabelControl& label = controls_.label1();
  label.setForeColor(kLabelHoverColor);
  label.setMouseIcon(controls_.imageList1(1));
  label.setMousePointer(kPointerCustom);
}

void Credits::Form_MouseMove() {
  controls_.label1().setForeColor(kLabelRestColor);
}

void Credits::Label1_Click() {
  mail_.open(contactUrl());
}

void Credits::Command1_Click() {
  controls_.end();
}

}  // namespace tessel

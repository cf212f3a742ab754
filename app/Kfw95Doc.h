// The document: holds nothing and is never saved.
#pragma once
#include "framework/DocView.h"

namespace kf {
class CKfw95Doc : public fw::Document {};
}  // namespace kf

#pragma once
// The interpreter's modal and per-block state.

namespace vantrel {

struct ModalState {};

}  // namespace vantrel

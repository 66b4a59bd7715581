#pragma once

#include <glib-object.h>

#include <memory>

namespace twdesktop {

// One counted reference to a GObject, released with the owner.
struct GObjectUnref {
  void operator()(gpointer AObject) const {
    if (AObject != nullptr) g_object_unref(AObject);
  }
};

template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// Takes a floating or new reference and owns it.
template <typename T>
GObjectPtr<T> AdoptSunk(T* AObject) {
  if (AObject != nullptr) g_object_ref_sink(AObject);
  return GObjectPtr<T>(AObject);
}

}  // namespace twdesktop

// ccSMDGeometricDescription: the abstract, named base of every SMD description.
//
// A description draws itself as a wireframe overlay on a tablet and as a synthetic grey-level
// image into a pel buffer. Descriptions are persistent and shared through handles.
#pragma once

#include <core/archive.h>
#include <core/handle.h>
#include <core/pelbuffer.h>
#include <core/persistent.h>
#include <core/xform.h>
#include <dispc/errors.h>

#include <string>

class ccUITablet;

class ccSMDGeometricDescription : public virtual ccPersistent, public virtual ccRepBase {
 public:
  explicit ccSMDGeometricDescription(const std::string& name = std::string()) : name_(name) {}
  ccSMDGeometricDescription(const ccSMDGeometricDescription&) = default;
  ccSMDGeometricDescription& operator=(const ccSMDGeometricDescription&) = default;
  ~ccSMDGeometricDescription() override = default;

  const std::string& name() const { return name_; }

  // Archive: version byte (0), the persistent base, the name. Another version throws
  // ccArchive::UnknownVersion with no source and line 0.
  void dispatchSerialize(ccArchive& ar) override;

  // Draws the outline through xform (description to tablet coordinates).
  virtual void drawWireframe(const ccXform<2>& xform, ccUITablet& tablet) const = 0;
  // Synthetic drawing is affine: a general transform is replaced by its linear approximation
  // at (0, 0) and drawn through the ccXform<2> form. A null handle stands for the identity.
  virtual void drawSynthetic(const ccPtrHandle_const<cc2XformBase>& xform,
                             ccPelBuffer<unsigned char>& image) const;
  // Draws the description's pels into image through xform (description to image coordinates).
  virtual void drawSynthetic(const ccXform<2>& xform, ccPelBuffer<unsigned char>& image) const = 0;

 protected:
  void serialize_(ccArchive& ar, unsigned char version);
  // Exchanges the names (for the swaps of derived descriptions); cannot throw.
  void swapName(ccSMDGeometricDescription& o) noexcept { name_.swap(o.name_); }

 private:
  std::string name_;
};

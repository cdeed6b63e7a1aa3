// ccSMDGeometricDescription: synthetic drawing through general transforms, archive form.
#include <dispc/smd/description.h>

void ccSMDGeometricDescription::drawSynthetic(const ccPtrHandle_const<cc2XformBase>& xform,
                                              ccPelBuffer<unsigned char>& image) const {
  const ccXform<2> linear = xform ? xform->linearApprox(ccVector<2>()).xform() : ccXform<2>();
  drawSynthetic(linear, image);
}

void ccSMDGeometricDescription::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccSMDGeometricDescription::serialize_(ar, version);
  setVisited(ar);
}

void ccSMDGeometricDescription::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(std::string(), 0);
  ccPersistent::dispatchSerialize(ar);
  std::string name = name_;
  ar || name;
  if (ar.isLoading()) {
    mutating();
    name_ = std::move(name);
  }
}

// ccSMDColors: the colours an SMD description is drawn in, as a wireframe overlay and as a
// synthetic grey-level image, and the rule that turns a colour into a grey level.
#pragma once

#include <core/archive.h>
#include <core/handle.h>
#include <core/persistent.h>
#include <dispc/color.h>
#include <dispc/errors.h>

// Shareable, so that an archive can load it through a persistent pointer.
class ccSMDColors : public virtual ccPersistent, public virtual ccRepBase {
 public:
  // The defaults: a green wireframe, light grey parts on a dark grey background.
  ccSMDColors(const ccColor& wireframeDefault = ccColor::greenColor(),
              const ccColor& syntheticDefault = ccColor::ltGreyColor(),
              const ccColor& syntheticBackground = ccColor::dkGreyColor());
  ccSMDColors(const ccSMDColors&) = default;
  ccSMDColors& operator=(const ccSMDColors&) = default;
  ~ccSMDColors() override = default;

  const ccColor& wireframeDefaultColor() const { return wireframeDefault_; }
  void wireframeDefaultColor(const ccColor& c) {
    mutating();
    wireframeDefault_ = c;
  }
  // The grey level of the description's own pels.
  const ccColor& syntheticDefaultColor() const { return syntheticDefault_; }
  void syntheticDefaultColor(const ccColor& c) {
    mutating();
    syntheticDefault_ = c;
  }
  const ccColor& syntheticBackgroundColor() const { return syntheticBackground_; }
  void syntheticBackgroundColor(const ccColor& c) {
    mutating();
    syntheticBackground_ = c;
  }

  // The three colours equal (ccColor equality).
  bool operator==(const ccSMDColors& o) const;
  bool operator!=(const ccSMDColors& o) const { return !(*this == o); }

  // The grey level a colour stands for in synthetic images. An index colour (tested first)
  // maps through a fixed table of the stock colours' indices, any other index to 0; an RGB
  // colour gives its rounded mean. A colour that is neither reports an assertion and gives 0.
  static unsigned char colorToGrayScale(const ccColor& c);

  // Archive: version byte (1), the persistent base, then the wireframe default, synthetic
  // default and synthetic background colours. Version 0 holds nothing after the version byte
  // and leaves the colours as they are; a later version throws ccArchive::UnknownVersion.
  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new ccSMDColors; }

 private:
  void serialize_(ccArchive& ar, unsigned char version);

  ccColor wireframeDefault_;
  ccColor syntheticDefault_;
  ccColor syntheticBackground_;
};

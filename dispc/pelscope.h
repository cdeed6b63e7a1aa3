// ccPelScope: the twelve image slots of a scope funnelled into one hook.
//
// drawImage (slots 20 to 23, at 1:1), sampleImage (35, 37, 39, 41) and expandImage (45, 47, 49,
// 51) take one image of each of the four pel types. A back end that treats them alike derives
// from ccPelScope<Backend, Base> (Base: ccUIScope or a scope derived from it) and defines one
// hook, which every one of the twelve slots calls with its arguments gathered:
//
//   class MyScope : public ccPelScope<MyScope> {
//     friend class ccPelScope<MyScope>;  // unless the hook is public
//     template <class T> void drawPels(const ccImageSlotCall<T>& call);
//   };
//
// A hook defined in a source file is instantiated there for the four pel types with
// DISPC_PEL_SCOPE_HOOK(MyScope), after its definition. The slots keep their places in the slot
// order; a back end may still override any of them.
#pragma once

#include <dispc/scope.h>

#include <type_traits>

// Which of the image slots was called.
enum class ccImageSlot { eDraw, eSample, eExpand };

// The pass value type of the image slots of each pel type.
template <class T>
struct ccPelPassValue {
  using type = T;  // unsigned char, unsigned short
};
template <>
struct ccPelPassValue<ccPackedRGB16Pel> {
  using type = unsigned short;
};
template <>
struct ccPelPassValue<ccPackedRGB32Pel> {
  using type = unsigned long;
};

// The arguments of one image slot call with pels of type T.
template <class T>
struct ccImageSlotCall {
  using PassValue = typename ccPelPassValue<T>::type;
  // The 8-bit slots carry the caller's flag.
  static constexpr bool kHasFlag = std::is_same_v<T, unsigned char>;

  ccImageSlot slot;
  const ccPelBuffer_const<T>& image;
  // The image's upper-left pel, in the tablet's pixels (as the slot received it).
  const ccPoint& at;
  // The scale of sampleImage and expandImage; null for drawImage (1:1).
  const ccPair<double>* scale;
  bool pass;
  PassValue passValue;
  // The 8-bit slots' flag, passed through unchanged; false for the other pel types.
  bool flag = false;
  // The mode of the expandImage slots of 8-bit and packed 32-bit RGB pels; eNoInterpolation for
  // the others.
  ccUIInterpolation::InterpolationModes mode = ccUIInterpolation::eNoInterpolation;

  // Whether the slot takes an interpolation mode.
  bool hasMode() const {
    return slot == ccImageSlot::eExpand &&
           (std::is_same_v<T, unsigned char> || std::is_same_v<T, ccPackedRGB32Pel>);
  }
  // The scale, (1, 1) for drawImage.
  ccPair<double> scaleOrOne() const { return scale ? *scale : ccPair<double>(1, 1); }
  // "drawImage", "sampleImage" or "expandImage".
  const char* slotName() const {
    return slot == ccImageSlot::eDraw
               ? "drawImage"
               : (slot == ccImageSlot::eSample ? "sampleImage" : "expandImage");
  }
};

template <class Backend, class Base = ccUIScope>
class ccPelScope : public Base {
 public:
  using Base::Base;
  using typename Base::InterpolationModes;

  void drawImage(const ccPelBuffer_const<ccPackedRGB32Pel>& image, const ccPoint& at, bool pass,
                 unsigned long passValue) override {
    hook(
        ccImageSlotCall<ccPackedRGB32Pel>{ccImageSlot::eDraw, image, at, nullptr, pass, passValue});
  }
  void drawImage(const ccPelBuffer_const<ccPackedRGB16Pel>& image, const ccPoint& at, bool pass,
                 unsigned short passValue) override {
    hook(
        ccImageSlotCall<ccPackedRGB16Pel>{ccImageSlot::eDraw, image, at, nullptr, pass, passValue});
  }
  void drawImage(const ccPelBuffer_const<unsigned short>& image, const ccPoint& at, bool pass,
                 unsigned short passValue) override {
    hook(ccImageSlotCall<unsigned short>{ccImageSlot::eDraw, image, at, nullptr, pass, passValue});
  }
  void drawImage(const ccPelBuffer_const<unsigned char>& image, const ccPoint& at, bool pass,
                 unsigned char passValue, bool flag) override {
    hook(ccImageSlotCall<unsigned char>{ccImageSlot::eDraw, image, at, nullptr, pass, passValue,
                                        flag});
  }
  void sampleImage(const ccPelBuffer_const<ccPackedRGB32Pel>& image, const ccPoint& at,
                   const ccPair<double>& scale, bool pass, unsigned long passValue) override {
    hook(ccImageSlotCall<ccPackedRGB32Pel>{ccImageSlot::eSample, image, at, &scale, pass,
                                           passValue});
  }
  void sampleImage(const ccPelBuffer_const<ccPackedRGB16Pel>& image, const ccPoint& at,
                   const ccPair<double>& scale, bool pass, unsigned short passValue) override {
    hook(ccImageSlotCall<ccPackedRGB16Pel>{ccImageSlot::eSample, image, at, &scale, pass,
                                           passValue});
  }
  void sampleImage(const ccPelBuffer_const<unsigned short>& image, const ccPoint& at,
                   const ccPair<double>& scale, bool pass, unsigned short passValue) override {
    hook(ccImageSlotCall<unsigned short>{ccImageSlot::eSample, image, at, &scale, pass, passValue});
  }
  void sampleImage(const ccPelBuffer_const<unsigned char>& image, const ccPoint& at,
                   const ccPair<double>& scale, bool pass, unsigned char passValue,
                   bool flag) override {
    hook(ccImageSlotCall<unsigned char>{ccImageSlot::eSample, image, at, &scale, pass, passValue,
                                        flag});
  }
  void expandImage(const ccPelBuffer_const<ccPackedRGB32Pel>& image, const ccPoint& at,
                   const ccPair<double>& scale, bool pass, unsigned long passValue,
                   InterpolationModes mode) override {
    hook(ccImageSlotCall<ccPackedRGB32Pel>{ccImageSlot::eExpand, image, at, &scale, pass, passValue,
                                           false, mode});
  }
  void expandImage(const ccPelBuffer_const<ccPackedRGB16Pel>& image, const ccPoint& at,
                   const ccPair<double>& scale, bool pass, unsigned short passValue) override {
    hook(ccImageSlotCall<ccPackedRGB16Pel>{ccImageSlot::eExpand, image, at, &scale, pass,
                                           passValue});
  }
  void expandImage(const ccPelBuffer_const<unsigned short>& image, const ccPoint& at,
                   const ccPair<double>& scale, bool pass, unsigned short passValue) override {
    hook(ccImageSlotCall<unsigned short>{ccImageSlot::eExpand, image, at, &scale, pass, passValue});
  }
  void expandImage(const ccPelBuffer_const<unsigned char>& image, const ccPoint& at,
                   const ccPair<double>& scale, bool pass, unsigned char passValue, bool flag,
                   InterpolationModes mode) override {
    hook(ccImageSlotCall<unsigned char>{ccImageSlot::eExpand, image, at, &scale, pass, passValue,
                                        flag, mode});
  }

 private:
  template <class T>
  void hook(const ccImageSlotCall<T>& call) {
    static_cast<Backend&>(*this).drawPels(call);
  }
};

// Instantiates Class::drawPels for the four pel types (in the source file that defines it).
#define DISPC_PEL_SCOPE_HOOK(Class)                                        \
  template void Class::drawPels(const ccImageSlotCall<unsigned char>&);    \
  template void Class::drawPels(const ccImageSlotCall<unsigned short>&);   \
  template void Class::drawPels(const ccImageSlotCall<ccPackedRGB16Pel>&); \
  template void Class::drawPels(const ccImageSlotCall<ccPackedRGB32Pel>&);

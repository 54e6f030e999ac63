// How the keyboard behaves for a text input: capitalisation, correction,
// keyboard and return key kinds, secure entry. Kept; the keyboard itself
// is not simulated.
#pragma once

namespace ui {

enum class TextAutocapitalizationType { None = 0, Words = 1, Sentences = 2, AllCharacters = 3 };
enum class TextAutocorrectionType { Default = 0, No = 1, Yes = 2 };
enum class KeyboardType { Default = 0, ASCIICapable = 1, NumbersAndPunctuation = 2, URL = 3, NumberPad = 4,
                          PhonePad = 5, NamePhonePad = 6, EmailAddress = 7, DecimalPad = 8 };
enum class ReturnKeyType { Default = 0, Go = 1, WebSearch = 2, Join = 3, Next = 4, Route = 5, Search = 6,
                           Send = 7, Yahoo = 8, Done = 9 };
enum class KeyboardAppearance { Default = 0, Dark = 1, Light = 2 };

class TextInputTraits {
 public:
  TextAutocapitalizationType autocapitalizationType() const { return autocapitalization_; }
  void setAutocapitalizationType(TextAutocapitalizationType t) { autocapitalization_ = t; }
  TextAutocorrectionType autocorrectionType() const { return autocorrection_; }
  void setAutocorrectionType(TextAutocorrectionType t) { autocorrection_ = t; }
  KeyboardType keyboardType() const { return keyboardType_; }
  void setKeyboardType(KeyboardType t) { keyboardType_ = t; }
  ReturnKeyType returnKeyType() const { return returnKeyType_; }
  void setReturnKeyType(ReturnKeyType t) { returnKeyType_ = t; }
  KeyboardAppearance keyboardAppearance() const { return keyboardAppearance_; }
  void setKeyboardAppearance(KeyboardAppearance a) { keyboardAppearance_ = a; }
  bool isSecureTextEntry() const { return secure_; }
  void setSecureTextEntry(bool s) { secure_ = s; }
  bool enablesReturnKeyAutomatically() const { return enablesReturnKey_; }
  void setEnablesReturnKeyAutomatically(bool e) { enablesReturnKey_ = e; }

 private:
  TextAutocapitalizationType autocapitalization_ = TextAutocapitalizationType::Sentences;
  TextAutocorrectionType autocorrection_ = TextAutocorrectionType::Default;
  KeyboardType keyboardType_ = KeyboardType::Default;
  ReturnKeyType returnKeyType_ = ReturnKeyType::Default;
  KeyboardAppearance keyboardAppearance_ = KeyboardAppearance::Default;
  bool secure_ = false;
  bool enablesReturnKey_ = false;
};

}  // namespace ui

#pragma once

// Running state of one text field on a display list: what it shows (a look the renderer
// draws, shared until a script changes it) and what only scripts see (maxChars, type,
// the bound variable ...). It sits in a heap cell of its own (TextFieldBox) so that its
// address stays put while display lists change: the field's script host points at it.

#include "engine/render/TextFieldLook.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace swf::movie {

// Which clip or text field instance a state is, so that work queued for one clip does
// not run on another that took its place (and its path) in the meantime, and a script's
// mask stays with the object it named. Copies (seek snapshots) keep it; it takes no part
// in comparisons. 0: not numbered.
struct InstanceSerial {
    uint64_t value = 0;
    // A number no other clip or field instance has had.
    static InstanceSerial next()
    {
        // Players on several threads (the conformance runner) share the count.
        static std::atomic<uint64_t> last{0};
        return InstanceSerial{++last};
    }
    friend bool operator==(const InstanceSerial&, const InstanceSerial&) { return true; }
};

class TextFieldScript;

// The script side of a field, created when a script first reaches it. Copies start
// without one, as a clip's ScriptLink does.
class TextFieldLink {
public:
    TextFieldLink();
    TextFieldLink(const TextFieldLink&);
    TextFieldLink(TextFieldLink&&) noexcept;
    TextFieldLink& operator=(const TextFieldLink&);
    TextFieldLink& operator=(TextFieldLink&&) noexcept;
    ~TextFieldLink();

    TextFieldScript* get() const { return host_.get(); }
    void set(std::unique_ptr<TextFieldScript> host);
    friend bool operator==(const TextFieldLink&, const TextFieldLink&) { return true; }

private:
    std::unique_ptr<TextFieldScript> host_;
};

enum class AutoSize : uint8_t { None, Left, Center, Right };

struct TextFieldState {
    // Render trees hold it as const; editLook() copies it before a change while they do.
    std::shared_ptr<render::TextFieldLook> look;
    int maxChars = 0;  // 0: no limit
    bool selectable = true;
    bool input = false;  // type "input" rather than "dynamic"
    bool html = false;  // the text is read and written as HTML
    AutoSize autoSize = AutoSize::None;
    std::string variable;
    // The format text set by scripts takes (setNewTextFormat); unset: the field's own.
    std::optional<render::TextFormat> newFormat;
    // The selection, in characters: where it started and where the caret is; -1
    // while there is none.
    int selectionAnchor = -1;
    int caret = -1;
    // The first line shown (1-based) and how far the text is moved left (pixels).
    int scroll = 1;
    int hscroll = 0;
    TextFieldLink script;
    InstanceSerial serial;

    // A field as its definition places it.
    // `swfVersion`: of the movie that defines the field, which decides how its HTML reads.
    // `fonts`: the movie's embedded fonts, which the field's formats may name.
    static TextFieldState fromDefinition(std::shared_ptr<const EditTextDef> def, int swfVersion = 10,
                                         std::shared_ptr<const render::EmbeddedFonts> fonts = nullptr);
    // An empty field as createTextField makes it: black 12 px serif text, no border or
    // background, `bounds` in twips.
    static TextFieldState created(const Rect& bounds, std::shared_ptr<const render::EmbeddedFonts> fonts = nullptr,
                                  int swfVersion = 10);

    // The look to change: copied first when a render tree still shares it.
    render::TextFieldLook& editLook();

    // With autoSize on, fits the box to the text (its height, and its width unless it
    // wraps); returns how far the field's origin should move right (twips) so that the
    // side the mode names stays put.
    double fitToText();

    friend bool operator==(const TextFieldState& a, const TextFieldState& b)
    {
        return (a.look == b.look || (a.look && b.look && *a.look == *b.look)) && a.maxChars == b.maxChars
            && a.selectable == b.selectable && a.input == b.input && a.html == b.html
            && a.autoSize == b.autoSize && a.variable == b.variable && a.newFormat == b.newFormat;
    }
};

// A field's state in a heap cell of its own; copying copies the state.
class TextFieldBox {
public:
    TextFieldBox() = default;
    TextFieldBox(const TextFieldBox& other)
        : state_(other.state_ ? std::make_unique<TextFieldState>(*other.state_) : nullptr)
    {
    }
    TextFieldBox(TextFieldBox&&) noexcept = default;
    TextFieldBox& operator=(const TextFieldBox& other)
    {
        if (this != &other)
            state_ = other.state_ ? std::make_unique<TextFieldState>(*other.state_) : nullptr;
        return *this;
    }
    TextFieldBox& operator=(TextFieldBox&&) noexcept = default;
    ~TextFieldBox();

    explicit operator bool() const { return state_ != nullptr; }
    TextFieldState& operator*() const { return *state_; }
    TextFieldState* operator->() const { return state_.get(); }
    TextFieldState* get() const { return state_.get(); }
    TextFieldState& emplace(TextFieldState state)
    {
        state_ = std::make_unique<TextFieldState>(std::move(state));
        state_->serial = InstanceSerial::next();
        return *state_;
    }

    friend bool operator==(const TextFieldBox& a, const TextFieldBox& b)
    {
        if (!a.state_ || !b.state_)
            return !a.state_ == !b.state_;
        return *a.state_ == *b.state_;
    }

private:
    std::unique_ptr<TextFieldState> state_;
};

} // namespace swf::movie

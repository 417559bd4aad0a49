// The retained element model: one Element per control of a window, with the
// properties the event handlers read and write. Geometry is in twips as
// single-precision floats; colours are 0xRRGGBB; pictures are bitmap numbers.
// Setters record what changed in the owning Form's change set, which the view
// applies once per dispatched event.
#pragma once

#include <cstdint>
#include <string>

namespace tallyro::ui {

class Form;

enum class Kind : std::uint8_t {
    Form,
    PictureBox,
    Image,
    Label,
    TextBox,
    CheckBox,
    VScrollBar,
    Shape,
    Line,
    Timer,
    WebBrowser,
    RichTextBox,
    Socket,
    Menu,
    MenuItem,
};

enum class Pointer : std::uint8_t { Arrow, Hand, Icon };
enum class Align : std::uint8_t { Left, Center };

// System colours as a classic desktop paints them.
inline constexpr std::uint32_t kSystemWindow = 0xFFFFFF;
inline constexpr std::uint32_t kSystemWindowText = 0x000000;
inline constexpr std::uint32_t kSystemMenuText = 0x000000;

inline constexpr float kTwipsPerPixel = 15.0f;

struct Font {
    std::string face = "宋体";
    float points = 9.0f;
    bool bold = false;
    bool operator==(const Font&) const = default;
};

// What changed since the view last looked; one bit per group of properties.
enum Change : std::uint32_t {
    kChangeCreated = 1u << 0,
    kChangeGeometry = 1u << 1,
    kChangeVisible = 1u << 2,
    kChangeText = 1u << 3,
    kChangeColors = 1u << 4,
    kChangePicture = 1u << 5,
    kChangeFont = 1u << 6,
    kChangeEnabled = 1u << 7,
    kChangeValue = 1u << 8,
    kChangeNavigate = 1u << 9,
    kChangeRegion = 1u << 10,
    kChangeFocus = 1u << 11,
    kChangeTitle = 1u << 12,
    kChangeSelected = 1u << 13,
};

// The rounded outline of a top-level window: a rounded rectangle from (0, 0) to
// (width, height) pixels with corner ellipses of cornerWidth x cornerHeight.
struct WindowRegion {
    int width = 0;
    int height = 0;
    int cornerWidth = 0;
    int cornerHeight = 0;
    bool operator==(const WindowRegion&) const = default;
};

class Element {
public:
    // Design-time description; also the copy source of control-array members.
    struct Design {
        std::string name;
        std::int16_t index = -1;  // -1: not a member of a control array
        Kind kind = Kind::PictureBox;
        std::string parent;  // empty: child of the window
        std::int16_t parentIndex = -1;
        float left = 0, top = 0, width = 0, height = 0;
        bool visible = true;
        bool enabled = true;
        std::string text;  // caption of labels, check boxes, menus; text of text boxes
        std::string toolTip;
        std::uint32_t foreColor = 0x000000;
        std::uint32_t backColor = kSystemWindow;
        bool opaque = false;  // labels: transparent unless opaque
        bool hasBackColor = true;
        int picture = 0;
        bool autoSize = false;
        bool border = false;  // flat single-line border
        Font font;
        Pointer pointer = Pointer::Arrow;
        Align align = Align::Left;
        char passwordChar = 0;
        int interval = 0;  // timers, milliseconds
        int value = 0, min = 0, max = 0;
        float x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // lines
        // Place in the keyboard's Tab order, lowest first; -1: not a Tab stop.
        // Members of one control array share theirs and follow their index.
        int tabIndex = -1;
    };

    Element(Form& form, Element* parent, Design design, std::uint32_t id);

    Form& form() const { return form_; }
    Element* parent() const { return parent_; }
    std::uint32_t id() const { return id_; }
    const std::string& name() const { return d_.name; }
    std::int16_t index() const { return d_.index; }
    Kind kind() const { return d_.kind; }
    const Design& design() const { return d_; }

    float left() const { return d_.left; }
    float top() const { return d_.top; }
    float width() const { return d_.width; }
    float height() const { return d_.height; }
    void setLeft(float v);
    void setTop(float v);
    // Sizes below zero are clamped to zero: a window smaller than its layout
    // expects shrinks its elements to nothing rather than failing.
    void setWidth(float v);
    void setHeight(float v);
    void move(float left, float top);
    void move(float left, float top, float width, float height);

    bool visible() const { return d_.visible; }
    void setVisible(bool v);
    bool enabled() const { return d_.enabled; }
    void setEnabled(bool v);

    // Caption of a label, check box or menu item; text of a text box or rich
    // text box. Setting a different text raises Change on a text box.
    const std::string& text() const { return d_.text; }
    void setText(const std::string& text);
    const std::string& toolTip() const { return d_.toolTip; }

    std::uint32_t foreColor() const { return d_.foreColor; }
    std::uint32_t backColor() const { return d_.backColor; }
    void setForeColor(std::uint32_t rgb);
    void setBackColor(std::uint32_t rgb);
    bool opaque() const { return d_.opaque; }
    bool hasBackColor() const { return d_.hasBackColor; }

    // An auto-size picture box takes the bitmap's size (pixels x 15).
    int picture() const { return d_.picture; }
    void setPicture(int bitmap);
    bool autoSize() const { return d_.autoSize; }
    bool border() const { return d_.border; }
    const Font& font() const { return d_.font; }
    Pointer pointer() const { return d_.pointer; }
    Align align() const { return d_.align; }
    char passwordChar() const { return d_.passwordChar; }
    int tabIndex() const { return d_.tabIndex; }

    // Timers: enabling a stopped timer starts a fresh interval, enabling a running
    // one keeps its phase, disabling stops it.
    int interval() const { return d_.interval; }
    void setInterval(int ms);

    // Scroll bars (and the check box's and a checkable menu item's 0/1, a checkable
    // item being one with max 1). Setting a different value raises Change.
    int value() const { return d_.value; }
    void setValue(int v);
    int min() const { return d_.min; }
    int max() const { return d_.max; }

    float x1() const { return d_.x1; }
    float y1() const { return d_.y1; }
    float x2() const { return d_.x2; }
    float y2() const { return d_.y2; }
    void setLineX(float x1, float x2);

    // Web browsers: every call is a navigation, also to the address already shown.
    const std::string& location() const { return location_; }
    std::uint32_t navigations() const { return navigations_; }
    void navigate(const std::string& url);

    // Top-level windows only.
    const WindowRegion& region() const { return region_; }
    void setRegion(const WindowRegion& region);
    // The name window lists, task switchers and screen readers show; the
    // caption (text) stays the design's.
    const std::string& title() const { return title_; }
    void setTitle(const std::string& title);

    // Asks the view to give this element the keyboard focus.
    void requestFocus();

    // The item a list or a tab bar has selected, as screen readers are told it:
    // the selected result row, the tab of the page shown. Paints nothing.
    bool selected() const { return selected_; }
    void setSelected(bool selected);

    std::uint32_t changes() const { return changes_; }

private:
    void clearChanges() { changes_ = 0; }
    friend class Form;
    void mark(std::uint32_t change);
    void fitToPicture();

    Form& form_;
    Element* parent_;
    Design d_;
    std::uint32_t id_;
    std::uint32_t changes_ = 0;
    std::string location_;
    std::uint32_t navigations_ = 0;
    WindowRegion region_;
    std::string title_;
    bool selected_ = false;
};

}  // namespace tallyro::ui

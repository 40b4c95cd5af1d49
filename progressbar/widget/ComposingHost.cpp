#include "progressbar/widget/ComposingHost.h"

#include "platform/gdi/twips.h"
#include "progressbar/StdFont.h"
#include "progressbar/StdPicture.h"
#include "progressbar/widget/BarFrames.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>

namespace xpbar {

namespace {

// Beyond this many pixels the host keeps no image: no window could show it, and the control
// then paints into nothing rather than failing to allocate.
constexpr qint64 kMaxScreenPixels = qint64(1) << 26;

// What a font draws with; the object itself may be changed in place.
struct FontLook {
    QString name;
    double size = 0;
    int weight = 0;
    bool italic = false, underline = false, strikethrough = false;
    int charset = 0;
    friend bool operator==(const FontLook&, const FontLook&) = default;
};

FontLook LookOf(const vex::StdFont* font) {
    if (!font) return {};
    return {font->Name,      font->Size,          font->Weight, font->Italic,
            font->Underline, font->Strikethrough, font->Charset};
}

} // namespace

// Everything a composed picture is drawn from: the host's state, the control's properties, its
// font as it stands, the text, the back colour and the system colours some looks draw with.
struct ComposingHost::FrameKey {
    FrameState state;
    int scale = 1;
    QSize size;
    quint64 changes = 0;
    vex::Long color = 0, scrolling = 0, orientation = 0, min = 0, max = 0;
    vex::Boolean showText = vex::kFalse;
    std::shared_ptr<vex::StdPicture> image;
    std::shared_ptr<vex::StdFont> font;
    FontLook fontLook;
    std::optional<std::string> text;
    vex::Long backColor = 0;
    qint64 palette = 0;

    friend bool operator==(const FrameKey&, const FrameKey&) = default;
};

ComposingHost::ComposingHost() : backColor_(InitialBackColor()) {
    hdc_ = gdi::CreateDCForImage(&image_);
    hwnd_ = gdi::RegisterWindow([this] { return ClientSize(); });
    control_ = std::make_unique<vex::XP_ProgressBar>(*this);
}

ComposingHost::~ComposingHost() {
    control_.reset();
    gdi::DeleteDC(hdc_);
    gdi::UnregisterWindow(hwnd_);
}

// The DC keeps pointing at image_, so the image is replaced in place: by the one of the size
// it had before, when that is the size wanted.
void ComposingHost::NewScreen(QSize size, Background background) {
    shown_.reset();
    screen_.reset();
    const qint64 pixels = qint64(std::max(size.width(), 0)) * std::max(size.height(), 0);
    if (pixels <= 0 || pixels > kMaxScreenPixels) {
        image_ = QImage();
        return;
    }
    if (spare_.size() == size && image_.size() != size) {
        image_.swap(spare_);
    } else if (image_.size() != size) {
        spare_ = QImage();
        spare_.swap(image_);
        image_ = QImage(size, QImage::Format_RGB32);
    }
    if (!image_.isNull() && background == Background::Filled)
        image_.fill(gdi::BgrColor(backColor_).ToQRgb());
}

float ComposingHost::Scaled(int pixels) const {
    return scaleInPixels_ ? float(pixels) : float(pixels) * gdi::kTwipsPerPixel;
}

void ComposingHost::SetBackColor(vex::Long color) {
    backColor_ = color;
    shown_.reset();
    screen_.reset();
    if (!image_.isNull()) image_.fill(gdi::BgrColor(color).ToQRgb());
}

void ComposingHost::NotifyPropertyChanged(const QString& name) {
    ++changes_;
    if (quiet_ == 0) PropertyChanged(name);
}

std::optional<std::string> ComposingHost::BarText() const {
    if (withoutText_) return std::string();
    return HostText();
}

const QImage& ComposingHost::PaintedAt(vex::Long percent, bool text) {
    struct TextBack {
        bool& withoutText;
        ~TextBack() { withoutText = false; }
    } textBack{withoutText_};
    withoutText_ = !text;
    screen_.reset();
    control_->SetValue(percent);
    return image_;
}

const QImage& ComposingHost::PaintedInLook(vex::Long look, vex::Long percent) {
    const Quiet quiet(*this);
    const vex::Long own = control_->GetScrolling();
    struct LookBack {
        vex::XP_ProgressBar& control;
        vex::Long look;
        ~LookBack() {
            try {
                control.SetScrolling(look);
            } catch (const std::exception& e) {
                qWarning("XPProgressBar: repaint failed: %s", e.what());
            }
        }
    };
    {
        // Putting the look back repaints the DC, so the picture is kept apart first.
        const LookBack lookBack{*control_, own};
        control_->SetScrolling(look);
        CopyInto(inLook_, PaintedAt(percent, false));
    }
    return inLook_;
}

// The control painting at another size than the host's (a multiple of it, or turned), its
// text's font enlarged `fontScale` times, its settings heard by no container; the host's size
// and font come back at the end.
class ComposingHost::Render : public FrameSource::Rendering {
  public:
    Render(ComposingHost& host, QSize size, int fontScale)
        : host_(host), quiet_(host), font_(host.control_->GetFont()) {
        host_.renderSize_ = size;
        // The control paints every pixel of it next.
        host_.NewScreen(size, Background::AsLeft);
        try {
            if (font_ && fontScale != 1) host_.control_->SetFont(host_.LargeFont(font_, fontScale));
            host_.control_->ResizeControl();
        } catch (...) {
            Restore();
            throw;
        }
    }
    ~Render() override { Restore(); }
    Render(const Render&) = delete;
    Render& operator=(const Render&) = delete;

  private:
    // The control's surface grew to the rendering's size and may now be shorter than the host
    // (a turned rendering is wider and lower): it is grown back, or later pictures come out cut.
    void Restore() {
        if (!host_.renderSize_.isValid()) return;
        host_.renderSize_ = QSize();
        host_.control_->SetFont(font_);
        host_.NewScreen(host_.HostSize());
        try {
            host_.control_->ResizeControl();
        } catch (const std::exception& e) {
            qWarning("XPProgressBar: resize failed: %s", e.what());
        }
    }

    ComposingHost& host_;
    const Quiet quiet_;
    std::shared_ptr<vex::StdFont> font_;
};

std::unique_ptr<FrameSource::Rendering> ComposingHost::RenderAt(QSize size, int fontScale) {
    return std::make_unique<Render>(*this, size, fontScale);
}

std::shared_ptr<vex::StdFont> ComposingHost::LargeFont(const std::shared_ptr<vex::StdFont>& font,
                                                       int scale) {
    FontLook wanted = LookOf(font.get());
    wanted.size *= scale;
    if (!largeFont_ || LookOf(largeFont_.get()) != wanted) {
        largeFont_ = std::make_shared<vex::StdFont>(font->Name, wanted.size, font->Weight);
        largeFont_->Italic = font->Italic;
        largeFont_->Underline = font->Underline;
        largeFont_->Strikethrough = font->Strikethrough;
        largeFont_->Charset = font->Charset;
    }
    return largeFont_;
}

ComposingHost::FrameKey ComposingHost::KeyOf(const FrameState& state, int scale) const {
    const vex::XP_ProgressBar& c = *control_;
    FrameKey key;
    key.state = state;
    key.scale = scale;
    key.size = HostSize();
    key.changes = changes_;
    key.color = c.GetColor();
    key.scrolling = c.GetScrolling();
    key.orientation = c.GetOrientation();
    key.min = c.GetMin();
    key.max = c.GetMax();
    key.showText = c.GetShowText();
    key.image = c.GetImage();
    key.font = c.GetFont();
    key.fontLook = LookOf(key.font.get());
    key.text = HostText();
    key.backColor = backColor_;
    key.palette = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                      ? QGuiApplication::palette().cacheKey()
                      : 0;
    return key;
}

void ComposingHost::ScreenDrawn(const FrameState& state) {
    screen_.reset();
    if (FrameComposer::UsesControlsPicture(*control_, state, 1))
        screen_ = std::make_unique<FrameKey>(KeyOf(state, 1));
}

const QImage& ComposingHost::Painted(vex::Long percent) {
    return screenCurrent_ ? image_ : PaintedAt(percent, true);
}

const QImage& ComposingHost::Frame(const FrameState& state, int scale) {
    if (shown_ && *shown_ == KeyOf(state, scale)) return shownScreen_ ? image_ : composer_.Last();
    shown_.reset();
    struct Current {
        bool& flag;
        ~Current() { flag = false; }
    } current{screenCurrent_};
    screenCurrent_ = screen_ && *screen_ == KeyOf(state, 1);
    const QImage& picture = composer_.Compose(*this, state, scale);
    // A plain picture is the control's own, which stays as it is until something the key
    // holds changes. The key is taken after composing, since the control notifies the looks it
    // borrowed and gave back.
    shownScreen_ = !composer_.Owns(picture);
    shown_ = std::make_unique<FrameKey>(KeyOf(state, scale));
    return picture;
}

} // namespace xpbar

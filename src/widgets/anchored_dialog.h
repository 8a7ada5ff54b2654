#pragma once
// A resizable dialog that keeps its children in proportion: each registered
// child has a top-left and a bottom-right anchor point in percent of the
// client size, plus pixel offsets measured once at registration. It also owns
// the size gripper and can keep its window rectangle in the application
// profile.
#include <QDialog>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <vector>

class QSizeGrip;

namespace korvane {

class AnchoredDialog : public QDialog {
    Q_OBJECT

  public:
    explicit AnchoredDialog(QWidget* parent = nullptr);
    ~AnchoredDialog() override;

    // Registers `child` (any descendant) with its two anchor points in
    // percent. False when the top-left point is (-1, -1), the child is null
    // or not a descendant. A bottom-right point of (-1, -1) means the
    // top-left one. Registering a child again replaces its record.
    bool AddAnchor(QWidget* child, QPoint top_left, QPoint bottom_right = QPoint(-1, -1));
    // The same for the descendant named `name`; false also when both top-left
    // values are -1 or no such control exists.
    bool AddAnchor(const char* name, QPoint top_left, QPoint bottom_right = QPoint(-1, -1));

    // Moves every registered child for a client size; a negative width or
    // height means the current one. Children destroyed or moved out of the
    // dialog are dropped.
    void ArrangeLayout(int width = -1, int height = -1);
    int AnchorCount() const { return static_cast<int>(anchors_.size()); }

    // Shows or hides the gripper in the bottom-right corner (shown at first;
    // never in a dialog embedded in another window).
    void ShowSizeGrip(bool show);
    bool IsSizeGripShown() const { return grip_shown_; }
    QSizeGrip* SizeGrip() const { return grip_; }

    // Restores the window rectangle kept under `section`/`entry` of the
    // application profile now, and saves it whenever the dialog is hidden,
    // closed or destroyed. `rect_only`: restore the rectangle but not a
    // maximised state.
    void EnableSaveRestore(const QString& section, const QString& entry, bool rect_only = false);
    void DisableSaveRestore() { save_restore_ = false; }
    bool IsSaveRestoreEnabled() const { return save_restore_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    struct Anchor {
        QPointer<QWidget> child;
        QPoint top_left;  // percent
        QPoint top_left_offset;
        QPoint bottom_right;  // percent
        QPoint bottom_right_offset;
    };

    QRect ChildRect(const QWidget* child) const;
    void PlaceSizeGrip();
    void SaveWindowRect();
    void LoadWindowRect(bool rect_only);

    std::vector<Anchor> anchors_;
    QSizeGrip* grip_ = nullptr;
    bool grip_shown_ = true;
    bool save_restore_ = false;
    bool shown_once_ = false;
    QString section_;
    QString entry_;
};

}  // namespace korvane

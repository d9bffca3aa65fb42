#pragma once

#include <QWidget>

class QCloseEvent;
class QKeyEvent;
class QPushButton;
class QShowEvent;

// The base of every window. A window is created and loaded by Forms (windowkit/Forms.h), shown
// modeless without an owner, and destroyed when it unloads; the next showing starts afresh.
// Geometry is given in twips (15 twips to the pixel).
class Form : public QWidget {
    Q_OBJECT

public:
    explicit Form(QWidget* parent = nullptr);

    // Unload Me: runs Form_Unload, hides the window and destroys it (later, safely).
    void unload();
    bool isUnloaded() const { return m_unloaded; }

    // Destroys the window without running Form_Unload (the application is ending).
    void discard();

    // Runs Form_Load guarded; called once by Forms right after construction.
    void load();

    static int twips(int tw) { return (tw + 7) / 15; }

protected:
    virtual void Form_Load() {}
    virtual void Form_Unload() {}

    // Client area and control positions in twips.
    void setClientSizeTwips(int width, int height);
    static void placeTwips(QWidget* control, int left, int top, int width, int height);

    // The system's close command (Alt+F4, the close box) unloads the window.
    void closeEvent(QCloseEvent* event) override;
    // Every window opens centred on the screen.
    void showEvent(QShowEvent* event) override;

    // As in a dialog: Enter clicks the default button (shown as such) unless a focused button
    // takes it, and Escape clicks the cancel button; neither while the button is disabled.
    void setDefaultButton(QPushButton* button);
    void setCancelButton(QPushButton* button) { m_cancelButton = button; }
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPushButton* m_defaultButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    bool m_unloaded = false;
    bool m_placed = false;
};

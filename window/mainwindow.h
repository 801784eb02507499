#pragma once

#include "config/catalogue.h"
#include "config/textcodec.h"
#include "window/form.h"
#include "window/helpline.h"
#include "window/rawtext.h"

#include <QMainWindow>

#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

namespace vesk
{

class Announcer;
class CategoryDialog;
class ConfigDocument;
class CategoryList;
class KeyboardWalk;
class TabControl;
class Toolkit;
struct ConfigContent;
struct ConfigData;

// The editor's window: every setting of the catalogue as a caption and a
// value box on its tab, the categories, the lines the editor does not know,
// the help line, and the commands that load, save and quit.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(Toolkit &toolkit, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The load step: location file, configuration file, a clean window.
    // Given a file, opens that one for this run and leaves the location
    // file alone.
    void load(const QString &file = {});

    // Commands. save() and the quits report whether they did their work.
    bool save();
    bool quit();
    bool saveAndQuit();
    void exitWithoutSave();
    void changeCfgLocation();
    void addCategory();
    // Edit Category for the list's current item, or for a row.
    void openCategoryDialog();
    void openCategoryDialog(int row);

    // Controls, by the names the rest of the editor uses.
    QLineEdit *valueBox(int slot) const; // nullptr for slot 37
    QLabel *captionLabel(int slot) const;
    QListView *categoryView() const { return m_form.categoryView; }
    CategoryList *categories() const { return m_categories; }
    // The Raw tab's text, filled with what was read.
    RawTextEdit *rawText() const;
    HelpLine *helpLine() const { return m_form.helpLine; }
    // Shows a setting's help entry in the help line.
    void showHelp(int slot);
    TabControl *tabs() const { return m_form.tabs; }
    QPushButton *saveButton() const { return m_form.saveButton; }
    QPushButton *quitButton() const { return m_form.quitButton; }
    QPushButton *addCategoryButton() const { return m_form.addCategoryButton; }
    CategoryDialog *categoryDialog() const { return m_categoryDialog; }
    // Where news for a screen reader is told (a category added, a value
    // that stopped fitting).
    Announcer *announcer() const { return m_form.announcer; }

    // Edits not saved yet.
    bool isModified() const { return m_changed; }
    QString configPath() const;
    ConfigDocument &document() const { return *m_document; }
    QString locationFilePath() const;
    bool hasEnded() const { return m_ended; }

    // The focus order of the Tab key, first to last.
    const std::vector<QWidget *> &focusOrder() const;
    // What a save would write now, as text.
    ConfigContent content() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildWindow();
    void buildMenu();

    bool openConfig(const QString &path);
    // Shows what was read, replacing what the window showed.
    void apply(ConfigData &&data);
    void markChanged() { m_changed = true; }
    void tellCurrentCategory();
    void end();

    Toolkit &m_toolkit;
    // The file: where it is, its stamp, and its save.
    std::unique_ptr<ConfigDocument> m_document;
    bool m_changed = false;
    bool m_ended = false;
    bool m_placed = false;
    Encoding m_encoding = Encoding::Utf8;
    bool m_bom = false;

    CategoryList *m_categories = nullptr;
    Form m_form;
    std::unique_ptr<KeyboardWalk> m_walk;
    CategoryDialog *m_categoryDialog = nullptr;
    bool m_categoryTold = false; // the list's current item, since focus came
};

} // namespace vesk

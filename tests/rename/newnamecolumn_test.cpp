#include "rename/newnamecolumn.h"

#include "convert/outputformats.h"
#include "filetestutil.h"
#include "lists/worklistmodel.h"
#include "rename/newnamepreview.h"
#include "rename/renamepanel.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QComboBox>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// The rename panel, the format list and a work-list model over files made in a temporary
// folder, with the column between them.
struct Rig
{
    Rig() : store(settingsDir.path() + u"/Morvane.ini"_s)
    {
        store.initialise(files.path());
        for (const renaming::NameForm& form : renaming::nameForms())
            panel.nameForms()->addItem(form.text);
        panel.nameForms()->setCurrentIndex(renaming::textForm);
        formats.addItems(convert::outputFormatListTexts());
        feed = std::make_unique<NewNameColumn>(&panel, &formats, &model, &store);
        feed->setClock([] { return QDateTime(QDate(2008, 2, 12), QTime(20, 59, 43)); });
    }

    void addFiles(const QStringList& names, const QStringList& listed = {})
    {
        for (const QString& name : names)
            QVERIFY(filetest::makeFile(files.path() + u'/' + name, name.toUtf8()));
        model.add(files.path() + u'/', listed.isEmpty() ? names : listed);
    }

    QStringList column(int role = Qt::DisplayRole) const
    {
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown.append(model.index(row, WorkListModel::NewNameColumn).data(role).toString());
        return shown;
    }

    QTemporaryDir settingsDir;
    QTemporaryDir files;
    SettingsStore store;
    RenamePanel panel;
    QComboBox formats;
    WorkListModel model;
    std::unique_ptr<NewNameColumn> feed;
};

} // namespace

class NewNameColumnTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void showsTheNewNamesAndFollowsTheFieldsAndTheList()
    {
        Rig rig;
        QCOMPARE(rig.model.headerData(WorkListModel::NewNameColumn, Qt::Horizontal).toString(),
                 u"Nouveau nom"_s);
        rig.addFiles({u"a.jpg"_s, u"b.png"_s, u"c.JPG"_s});
        QTRY_COMPARE(rig.column(),
                     QStringList({u"image1.jpg"_s, u"image2.png"_s, u"image3.JPG"_s}));

        // Typing: one refresh once the keys pause.
        QSignalSpy shown(rig.feed->preview(), &renaming::NewNamePreview::namesShown);
        rig.panel.nameText()->setText(u"v"_s);
        rig.panel.nameText()->setText(u"va"_s);
        rig.panel.startNumber()->setText(u"7"_s);
        QTRY_COMPARE(rig.column(), QStringList({u"va7.jpg"_s, u"va8.png"_s, u"va9.JPG"_s}));
        QCOMPARE(shown.size(), 1);

        // Removing and moving renumber in list order.
        rig.model.remove(0);
        rig.model.moveUp(1);
        QTRY_COMPARE(rig.column(), QStringList({u"va7.JPG"_s, u"va8.png"_s}));

        // Another form, then one reading the files' times (made on the worker) by date taken,
        // year first: files without one keep their modification date, marked.
        rig.panel.nameForms()->setCurrentIndex(10);
        QTRY_COMPARE(rig.column(), QStringList({u"C.JPG"_s, u"B.png"_s}));
        QVERIFY(rig.store.write(settings::names::datePriseDeVue, u"1"_s));
        QVERIFY(rig.store.write(settings::names::ordreDates, u"aaaa-mm-jj"_s));
        rig.panel.nameForms()->setCurrentIndex(17);
        QTRY_COMPARE(rig.column(), QStringList({u"[2007-07-03]7.JPG"_s, u"[2007-07-03]8.png"_s}));
        const QString noDate = u"pas de date de prise de vue : date de modification utilisée"_s;
        QTRY_COMPARE(rig.column(Qt::ToolTipRole), QStringList({noDate, noDate}));
        rig.panel.nameForms()->setCurrentIndex(renaming::textForm);
        rig.panel.startNumber()->setText(u"x"_s);
        QTRY_COMPARE(rig.column(), QStringList({QString(), QString()}));
    }

    void marksAndTheirReasons()
    {
        const QString taken = u"Nom déjà pris"_s;
        const QString twice = u"Nom donné deux fois"_s;
        const QString none;
        struct Row
        {
            QStringList onDisk;
            int form;
            QString text;
            QStringList reasons;
            bool keepCopies = false;
            QStringList listed = {}; // empty: all of onDisk
        };
        const Row rows[] = {
            {{u"p.jpg"_s, u"q.jpg"_s}, renaming::textForm, u"q"_s, {taken}, false, {u"p.jpg"_s}},
            // Two entries get one name, a third keeps its own.
            {{u"X.jpg"_s, u"x.jpg"_s, u"y.jpg"_s}, 11, u"image"_s, {twice, twice, none}},
            // x.jpg takes f1.jpg's name while f1.jpg moves on to f2.jpg: free, unless the run
            // keeps a copy under the old name.
            {{u"x.jpg"_s, u"f1.jpg"_s}, renaming::textForm, u"f"_s, {none, none}},
            {{u"x.jpg"_s, u"f1.jpg"_s}, renaming::textForm, u"f"_s, {taken, none}, true},
            {{u"p.jpg"_s},
             renaming::textForm,
             QString(300, u'n'),
             {u"Nom refusé par le système de fichiers"_s}},
            {{u"p.jpg"_s}, renaming::textForm, u"a/b"_s, {u"Nom de fichier incorrect"_s}},
        };
        for (const Row& row : rows) {
            Rig rig;
            if (row.keepCopies)
                QVERIFY(rig.store.write(settings::names::copieOriginal, u"1"_s));
            rig.panel.nameForms()->setCurrentIndex(row.form);
            rig.panel.nameText()->setText(row.text);
            QSignalSpy marked(rig.feed->preview(), &renaming::NewNamePreview::marksShown);
            rig.addFiles(row.onDisk, row.listed);
            QTRY_COMPARE(marked.size(), 1);
            QStringList shown;
            for (int line = 0; line < rig.model.rowCount(); ++line) {
                const QModelIndex cell = rig.model.index(line, WorkListModel::NewNameColumn);
                shown << (cell.data(Qt::DecorationRole).isValid()
                              ? cell.data(Qt::ToolTipRole).toString()
                              : QString());
            }
            QCOMPARE(shown, row.reasons);
        }
    }

    void aStaleResultNeverOverwritesANewerOne()
    {
        Rig rig;
        rig.addFiles({u"a.jpg"_s});
        // The first refresh's marks come last, and would mark the name.
        QSemaphore release;
        const auto releaseOnExit = qScopeGuard([&release] { release.release(1); });
        rig.feed->preview()->setMarker([&](const renaming::ColumnRequest& request,
                                           renaming::ColumnNames& names, const std::atomic<bool>*) {
            if (request.options.nameText == u"image"_s) {
                release.acquire();
                names.marks[0] = renaming::NameMark::Taken;
            }
        });
        QSignalSpy marked(rig.feed->preview(), &renaming::NewNamePreview::marksShown);
        rig.feed->preview()->refresh();
        rig.panel.nameText()->setText(u"neuf"_s);
        rig.feed->preview()->refresh();
        QTRY_COMPARE(marked.size(), 1);
        release.release();
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(marked.size(), 1);
        QCOMPARE(marked[0][0].value<std::uint64_t>(), rig.feed->preview()->generation());
        QCOMPARE(rig.column(), QStringList{u"neuf.jpg"_s});
        QVERIFY(
            !rig.model.index(0, WorkListModel::NewNameColumn).data(Qt::DecorationRole).isValid());
    }

    void conversionTabShowsTheOutputNames()
    {
        Rig rig;
        QVERIFY(rig.store.write(settings::names::tiffWebp, u"1"_s)); // as the batch reads it
        rig.formats.setCurrentIndex(3);                              // PNG
        rig.addFiles({u"a.jpg"_s, u"b.png"_s, u"a.bmp"_s, u"c.txt"_s, u"d.tiff"_s});
        rig.feed->setConversionShown(true);
        QSignalSpy marked(rig.feed->preview(), &renaming::NewNamePreview::marksShown);
        QTRY_COMPARE(marked.size(), 1);
        // The batch skips its own type, unknown types and the second writer of one output.
        QCOMPARE(rig.column(),
                 QStringList({u"a.PNG"_s, QString(), QString(), QString(), u"d.PNG"_s}));
        QCOMPARE(rig.model.index(2, WorkListModel::NewNameColumn).data(Qt::ToolTipRole).toString(),
                 u"Nom donné deux fois"_s);
        rig.formats.setCurrentIndex(0); // BMP
        QTRY_COMPARE(rig.column(),
                     QStringList({u"a.BMP"_s, u"b.BMP"_s, QString(), QString(), u"d.BMP"_s}));
        rig.feed->setConversionShown(false);
        QTRY_COMPARE(rig.column().first(), u"image1.jpg"_s);
    }
};

QTEST_MAIN(NewNameColumnTest)
#include "newnamecolumn_test.moc"

#include "rename/newnamecolumn.h"

#include "convert/outputformats.h"
#include "imaging/exiv.h"
#include "lists/worklistmodel.h"
#include "rename/newnamepreview.h"
#include "rename/renamepanel.h"
#include "settings/settingsstore.h"

#include <QComboBox>
#include <QLineEdit>

NewNameColumn::NewNameColumn(RenamePanel* panel, QComboBox* outputFormats, WorkListModel* model,
                             SettingsStore* settings, QObject* parent)
    : QObject(parent), m_panel(panel), m_outputFormats(outputFormats), m_model(model),
      m_settings(settings), m_clock([] { return QDateTime::currentDateTime(); })
{
    // Before the first worker that may read pictures' metadata.
    imaging::initializeExiv2();
    m_preview = new renaming::NewNamePreview(
        model,
        [this] {
            renaming::ColumnRequest request;
            request.entries = m_model->list().entries();
            request.conversion = m_conversion;
            const SettingsSnapshot settings = m_settings->snapshot();
            if (m_conversion) {
                request.format = convert::outputFormatAt(m_outputFormats->currentIndex());
                request.batch.repertConv = settings.repertConv;
                request.batch.convDest = settings.convDest;
                request.batch.tiffWebp = settings.tiffWebp;
                return request;
            }
            // The fields and settings the rename run reads.
            request.options.form = m_panel->nameForms()->currentIndex();
            request.options.nameText = m_panel->nameText()->text();
            request.options.start = m_panel->startNumber()->text();
            request.options.format = settings.format;
            if (settings.renomDest)
                request.options.dest = settings.repertNom;
            if (settings.copieOriginal)
                request.options.keep = settings.repertCopieDest       ? renaming::KeepCopy::Dest
                                       : settings.repertCopieOriginal ? renaming::KeepCopy::Own
                                                                      : renaming::KeepCopy::None;
            request.options.dateTaken = settings.datePriseDeVue;
            request.options.dateOrder = settings.ordreAMJ ? renaming::DateOrder::YearMonthDay
                                                          : renaming::DateOrder::DayMonthYear;
            request.clock = m_clock();
            return request;
        },
        this);
    renaming::NewNamePreview* preview = m_preview;
    connect(panel->nameForms(), &QComboBox::currentIndexChanged, preview,
            &renaming::NewNamePreview::schedule);
    connect(panel->numberingStyles(), &QComboBox::currentIndexChanged, preview,
            &renaming::NewNamePreview::schedule);
    connect(panel->nameText(), &QLineEdit::textChanged, preview,
            &renaming::NewNamePreview::schedule);
    connect(panel->startNumber(), &QLineEdit::textChanged, preview,
            &renaming::NewNamePreview::schedule);
    connect(outputFormats, &QComboBox::currentIndexChanged, this, [this] {
        if (m_conversion)
            m_preview->schedule();
    });
    connect(model, &WorkListModel::entriesChanged, preview, &renaming::NewNamePreview::schedule);
}

void NewNameColumn::setConversionShown(bool shown)
{
    if (shown == m_conversion)
        return;
    m_conversion = shown;
    m_preview->schedule();
}

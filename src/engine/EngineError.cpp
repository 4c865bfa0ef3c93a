#include "engine/EngineError.h"

#include <utility>

namespace qn {

namespace {

struct Description {
    long number;
    const char* text; // UTF-8; "%1" stands for the object or file name
};

// The texts the windows show under "Errore numero: ", in the user's language.
constexpr Description kDescriptions[] = {
    {err::ReservedError, "Errore riservato (%1); non esiste alcun messaggio per questo errore."},
    {err::InvalidArgument, "Argomento non valido."},
    {err::TableExists, "La tabella '%1' esiste già."},
    {err::UpdateWithoutEdit, "Operazione di aggiornamento o annullamento senza AddNew o Edit."},
    {err::NoCurrentRecord, "Nessun record corrente."},
    {err::DuplicateKey,
     "Impossibile effettuare le modifiche richieste nella tabella. Valori duplicati nell'indice, "
     "nella chiave primaria o nella relazione."},
    {err::FileNotFound, "Impossibile trovare il file '%1'."},
    {err::DiskFull, "Spazio su disco insufficiente."},
    {err::OutOfMemory, "Risorse di sistema esaurite."},
    {err::ReadOnly, "Impossibile aggiornare. Il database o l'oggetto è di sola lettura."},
    {err::DiskIo, "Errore del disco o della rete."},
    {err::InvalidPath,
     "'%1' non è un percorso valido. Verificare che il nome del percorso sia stato digitato "
     "correttamente e che si sia connessi al server in cui si trova il file."},
    {err::FileInUse, "Impossibile utilizzare '%1'; il file è già in uso."},
    {err::CannotOpen,
     "Impossibile aprire il database '%1'. Potrebbe non trattarsi di un database riconosciuto "
     "dall'applicazione oppure il file potrebbe essere danneggiato."},
    {err::FileLocked,
     "Impossibile aprire il file '%1'. Il file è già aperto in modo esclusivo da un altro utente "
     "oppure è necessaria l'autorizzazione per visualizzarne i dati."},
    {err::TooFewParameters, "Parametri insufficienti. Previsto %1."},
    {err::SyntaxError, "Errore di sintassi nell'espressione della query '%1'."},
    {err::TableNotFound, "Impossibile trovare la tabella di input o la query '%1'."},
    {err::InvalidBookmark, "Segnalibro non valido."},
    {err::FieldTooSmall,
     "Il campo è troppo piccolo per accettare la quantità di dati che si è tentato di aggiungere."},
    {err::CannotUpdateField, "Impossibile aggiornare il campo '%1'."},
    {err::RecordDeleted, "Impossibile accedere al record, perché è stato eliminato."},
    {err::DatabaseExists, "Il database esiste già."},
    {err::CannotExecuteSelect, "Impossibile eseguire una query di selezione."},
    {err::InvalidOperation, "Operazione non valida."},
    {err::Locked, "Impossibile aggiornare. Attualmente bloccato."},
    {err::OperationNotSupported, "Operazione non supportata per questo tipo di oggetto."},
    {err::ItemNotFound, "Elemento non trovato in questo insieme."},
    {err::FieldRequired, "Il campo '%1' non può contenere un valore Null."},
    {err::ZeroLengthNotAllowed, "Il campo '%1' non può essere una stringa di lunghezza zero."},
    {err::UnrecognizedFormat, "Formato di database '%1' non riconosciuto."},
    {err::NumericOverflow, "Overflow di campo numerico."},
    {err::ObjectClosed, "L'oggetto non è valido o non è più impostato."},
    {err::TypeConversion, "Impossibile applicare la conversione del tipo di dati."},
};

} // namespace

QString errorDescription(long number, const QString& argument) {
    for (const Description& d : kDescriptions) {
        if (d.number == number) {
            QString text = QString::fromUtf8(d.text);
            return text.contains(QLatin1String("%1")) ? text.arg(argument) : text;
        }
    }
    return QString::fromUtf8("Errore definito dall'applicazione o dall'oggetto (%1).").arg(number);
}

EngineError::EngineError(long number, QString description)
    : m_number(number), m_description(std::move(description)),
      m_what(QString::number(number).append(QLatin1String(": ")).append(m_description).toStdString()) {}

EngineError EngineError::fromNumber(long number, const QString& argument) {
    return EngineError(number, errorDescription(number, argument));
}

} // namespace qn

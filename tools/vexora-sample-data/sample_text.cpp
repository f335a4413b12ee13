#include "sample_text.h"

#include <array>
#include <string_view>

#include "core/codepage.h"

namespace vexora::sampledata {
namespace {

using Words = std::span<const std::string_view>;

// Statements about a person or a situation, for every category.
constexpr std::array<std::string_view, 16> kLicenceSubjects = {
    "Il conducente",
    "Il conducente di un'autovettura",
    "Chi guida un ciclomotore",
    "Nelle strade extraurbane il conducente",
    "Nei centri abitati il conducente",
    "Quando la carreggiata è bagnata il conducente",
    "Di notte il conducente",
    "In autostrada il conducente",
    "In prossimità di un passaggio a livello il conducente",
    "Il titolare della patente B",
    "Chi è coinvolto in un incidente stradale",
    "Il neopatentato",
    "In caso di nebbia fitta il conducente",
    "All'incrocio il conducente",
    "Chi trasporta un bambino",
    "Il motociclista",
};

constexpr std::array<std::string_view, 20> kLicencePredicates = {
    "deve moderare la velocità",
    "può sorpassare a destra",
    "è tenuto a dare la precedenza ai veicoli provenienti da destra",
    "deve mantenere una distanza di sicurezza adeguata",
    "può sostare sul marciapiede",
    "deve accendere le luci anabbaglianti",
    "è obbligato a fermarsi e a prestare soccorso",
    "può usare il telefono tenendolo in mano",
    "deve segnalare per tempo la manovra",
    "non può superare i 90 km/h",
    "deve tenere la destra",
    "può circolare sulla corsia di emergenza",
    "è responsabile della sicurezza dei passeggeri",
    "deve rallentare e, se necessario, fermarsi",
    "può effettuare l'inversione di marcia",
    "ha l'obbligo di indossare la cintura di sicurezza",
    "può guidare dopo aver bevuto un solo bicchiere di vino",
    "deve tenere conto della velocità degli altri veicoli",
    "perde punti sulla patente se non rispetta il limite",
    "è più esposto al colpo di sonno dopo un pasto abbondante",
};

constexpr std::array<std::string_view, 8> kHeavySubjects = {
    "Il conducente di un autobus",
    "Il conducente di un autocarro",
    "Il rimorchio di un autoarticolato",
    "Chi guida un autosnodato",
    "Il conducente di un veicolo con massa superiore a 3,5 t",
    "Nelle lunghe discese il conducente di un autotreno",
    "L'autista di uno scuolabus",
    "Il veicolo che trasporta un carico sporgente",
};

constexpr std::array<std::string_view, 12> kHeavyPredicates = {
    "deve verificare la sistemazione del carico",
    "può superare la velocità di 80 km/h in autostrada",
    "è tenuto a usare il cronotachigrafo",
    "deve controllare l'efficienza dei freni prima della partenza",
    "può trasportare passeggeri in piedi",
    "deve inserire il rallentatore",
    "può circolare nella corsia più a sinistra",
    "deve segnalare la sporgenza con il pannello quadrangolare",
    "è soggetto ai limiti di massa indicati sulla carta di circolazione",
    "può agganciare un secondo rimorchio",
    "deve usare le catene da neve quando è prescritto",
    "non può sostare in galleria",
};

constexpr std::array<std::string_view, 8> kProfessionalSubjects = {
    "L'impresa di trasporto",           "Il conducente professionale",
    "Il trasporto di merci pericolose", "Il foglio di registrazione",
    "La carta del conducente",          "Il periodo di guida giornaliero",
    "Il riposo settimanale regolare",   "La lettera di vettura internazionale (CMR)",
};

constexpr std::array<std::string_view, 12> kProfessionalPredicates = {
    "non può superare le 9 ore",
    "deve essere conservato a bordo per 28 giorni",
    "è soggetto alle norme ADR",
    "può essere esteso a 10 ore due volte la settimana",
    "deve essere esibito agli organi di controllo",
    "è personale e non può essere ceduto",
    "comprende anche le pause di 45 minuti",
    "è responsabile dell'idoneità del veicolo al trasporto",
    "può essere ridotto a 24 ore",
    "è richiesto per ogni trasporto di cose in conto terzi",
    "deve essere firmato dal mittente e dal vettore",
    "riguarda solo i trasporti con veicoli di massa superiore a 3,5 t",
};

// Statements about the question's picture.
constexpr std::array<std::string_view, 7> kFigureSubjects = {
    "Il segnale raffigurato",
    "Il segnale in figura",
    "Il pannello integrativo raffigurato",
    "La segnaletica in figura",
    "Il veicolo raffigurato",
    "Il simbolo in figura",
    "Nella situazione raffigurata il conducente",
};

constexpr std::array<std::string_view, 16> kFigurePredicates = {
    "indica un pericolo",
    "vieta il transito a tutti i veicoli",
    "obbliga a proseguire diritto",
    "preannuncia un'intersezione con diritto di precedenza",
    "è posto in prossimità di una curva pericolosa",
    "consente la sosta solo ai veicoli autorizzati",
    "indica la fine del divieto di sorpasso",
    "è valido solo nei giorni feriali",
    "vale anche per i ciclomotori",
    "segnala una strada sdrucciolevole",
    "impone di dare la precedenza",
    "indica che è possibile superare i 50 km/h",
    "è un segnale di obbligo",
    "può essere usato nei cantieri stradali",
    "riguarda anche i conducenti di autocarri",
    "può passare per primo",
};

constexpr std::array<std::string_view, 30> kClauses = {
    "anche se la strada è libera",
    "perché la visibilità è ridotta",
    "soprattutto di notte e con la pioggia",
    "quando l'aderenza è scarsa",
    "se la segnaletica lo consente",
    "così da non intralciare la circolazione",
    "poiché la velocità influisce sullo spazio di frenatura",
    "finché il semaforo non è verde",
    "nei centri abitati e fuori",
    "già prima dell'incrocio",
    "con la massima prudenza",
    "più di quanto sia necessario",
    "là dove è possibile farlo senza pericolo",
    "entro il limite di 50 km/h",
    "senza però usare il dispositivo acustico",
    "ciò vale anche per i ciclomotori e i motocicli",
    "sulle autostrade e sulle strade extraurbane principali",
    "oltre la linea d'arresto",
    "salvo diversa indicazione degli agenti",
    "in modo da poter arrestare il veicolo in sicurezza",
    "perché è più difficile valutare le distanze",
    "qualunque sia la velocità tenuta",
    "purché non vi siano pedoni sulla carreggiata",
    "dato che la strada può essere sdrucciolevole",
    "rispettando il segnale «STOP»",
    "ma solo dopo aver guardato nello specchietto retrovisore",
    "fino al termine del centro abitato",
    "tenendo conto del carico e delle condizioni del veicolo",
    "affinché gli altri utenti possano capire la manovra",
    "cioè a una velocità che non crei pericolo",
};

constexpr std::array<std::string_view, 34> kLicenceTitles = {
    "Definizioni generali e doveri nell'uso della strada",
    "Segnali di pericolo",
    "Segnali di divieto",
    "Segnali di obbligo",
    "Segnali di precedenza",
    "Segnaletica orizzontale e segni sulla carreggiata",
    "Segnalazioni semaforiche e degli agenti del traffico",
    "Segnali di indicazione",
    "Segnali complementari, temporanei e di cantiere",
    "Pannelli integrativi dei segnali",
    "Limiti di velocità, pericolo e intralcio alla circolazione",
    "Distanza di sicurezza",
    "Norme sulla circolazione dei veicoli",
    "Esempi di precedenza (incroci)",
    "Norme sul sorpasso",
    "Fermata, sosta, arresto e partenza",
    "Norme varie (autostrade, pannelli sui veicoli, ecc.)",
    "Uso delle luci e dei dispositivi acustici, spie e simboli",
    "Cinture di sicurezza, sistemi di ritenuta e casco protettivo",
    "Patenti, punti, documenti di circolazione e obblighi verso gli agenti",
    "Incidenti stradali e comportamenti in caso di incidente",
    "Alcool, droga, farmaci e primo soccorso",
    "Responsabilità civile, penale e amministrativa; assicurazione RCA",
    "Consumi, rispetto dell'ambiente e inquinamento",
    "Elementi del veicolo, manutenzione, stabilità e tenuta di strada",
    "Velocità e spazio di frenatura",
    "Passaggi a livello",
    "Circolazione in galleria",
    "Trasporto di persone e di bambini",
    "Ciclomotori e motocicli",
    "Abbigliamento protettivo",
    "Segnali luminosi",
    "Perché è importante la manutenzione dei pneumatici",
    "Utenti deboli: pedoni e ciclisti",
};

constexpr std::array<std::string_view, 22> kProfessionalTitles = {
    "Cronotachigrafo e tempi di guida e di riposo",
    "Documenti di circolazione dei veicoli pesanti",
    "Sistemazione del carico e sua sporgenza",
    "Masse e dimensioni dei veicoli",
    "Freni, rallentatori e sistemi di frenatura",
    "Trasporto di merci pericolose (ADR)",
    "Trasporto di persone: obblighi del conducente",
    "Autobus: porte, uscite di emergenza e dotazioni di sicurezza",
    "Rimorchi e semirimorchi",
    "Pneumatici e catene da neve",
    "Manutenzione del motore",
    "Stivaggio della merce",
    "Regolamentazione del trasporto nazionale e internazionale di merci",
    "Ambiente economico del trasporto e organizzazione del mercato",
    "Ergonomia, salute e idoneità fisica del conducente",
    "Prevenzione dei rischi fisici e della criminalità",
    "Guida razionale e risparmio di carburante",
    "Responsabilità del conducente professionale",
    "Comportamento in caso di emergenza",
    "Catena cinematica: frizione, cambio e coppia motrice",
    "Documenti per il trasporto di cose in conto terzi",
    "Servizi di linea, noleggio e trasporto scolastico",
};

int chars(std::string_view s) {
    return static_cast<int>(utf8Length(s));
}

}  // namespace

std::string questionStatement(SampleRng& rng, TextFlavour flavour, bool aboutFigure,
                              int targetChars, int maxChars) {
    Words subjects = kLicenceSubjects;
    Words predicates = kLicencePredicates;
    if (aboutFigure) {
        subjects = kFigureSubjects;
        predicates = kFigurePredicates;
    } else if (flavour == TextFlavour::Heavy && rng.chance(0.6)) {
        subjects = kHeavySubjects;
        predicates = kHeavyPredicates;
    } else if (flavour == TextFlavour::Professional && rng.chance(0.7)) {
        subjects = kProfessionalSubjects;
        predicates = kProfessionalPredicates;
    }

    // The main clause: a few tries for one that leaves room below the target.
    std::string text;
    for (int attempt = 0; attempt < 6; ++attempt) {
        std::string candidate =
            std::string(rng.pick(subjects)) + " " + std::string(rng.pick(predicates));
        if (text.empty() || chars(candidate) < chars(text))
            text = std::move(candidate);
        if (chars(text) + 1 <= targetChars)
            break;
    }

    // Subordinate clauses while they fit below the target (the final period included).
    std::array<bool, kClauses.size()> used{};
    int length = chars(text);
    const auto fits = [&](std::size_t i, std::string_view joint, int limit) {
        return !used[i] && length + chars(joint) + chars(kClauses[i]) + 1 <= limit;
    };
    const auto addClause = [&](std::size_t i, std::string_view joint) {
        text += joint;
        text += kClauses[i];
        length += chars(joint) + chars(kClauses[i]);
        used[i] = true;
    };
    for (int misses = 0; misses < 8;) {
        const auto i = static_cast<std::size_t>(rng.between(0, kClauses.size() - 1));
        const std::string_view joint = rng.chance(0.85) ? ", " : " e ";
        if (fits(i, joint, targetChars))
            addClause(i, joint);
        else
            ++misses;
    }
    // Never shorter than 40 characters: the shortest unused clause that still fits.
    while (length + 1 < 40) {
        std::size_t best = kClauses.size();
        for (std::size_t i = 0; i < kClauses.size(); ++i)
            if (fits(i, ", ", maxChars) &&
                (best == kClauses.size() || chars(kClauses[i]) < chars(kClauses[best])))
                best = i;
        if (best == kClauses.size())
            break;
        addClause(best, ", ");
    }
    text += '.';
    return text;
}

std::vector<std::string> topicTitles(SampleRng& rng, TextFlavour flavour, int count) {
    std::vector<std::string> pool;
    if (flavour != TextFlavour::Licence)
        pool.assign(kProfessionalTitles.begin(), kProfessionalTitles.end());
    std::vector<std::string> licence(kLicenceTitles.begin(), kLicenceTitles.end());
    rng.shuffle(licence);
    pool.insert(pool.end(), licence.begin(), licence.end());
    // Professional categories lead with their own subjects, then mix in general ones.
    const std::size_t firstCount =
        std::min<std::size_t>(pool.size(), static_cast<std::size_t>(count));
    std::vector<std::string> titles(pool.begin(), pool.begin() + static_cast<long>(firstCount));
    rng.shuffle(titles);
    for (std::size_t i = 0; titles.size() < static_cast<std::size_t>(count); ++i)
        titles.push_back(pool[i % pool.size()] + " (seconda parte)");
    return titles;
}

}  // namespace vexora::sampledata

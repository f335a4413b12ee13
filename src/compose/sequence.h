#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexora::compose {

// Sequence kind of a sheet; names the printed mark it sets in the print history.
enum TTipoSequenza : std::uint8_t {
    tsNulla = 0,
    tsNormale,    // topic sheet
    tsCustom,     // defined, no composition
    tsEsame,      // exam-like sheet
    tsDifficile,  // defined, no composition
    tsDubbia,     // defined, no composition
    tsErrore,     // defined, no composition
};

// Ordering of a sheet; the record filter applies its topic rule for the two topic orders.
enum TTipoOrdineSq : std::uint8_t {
    toNulla = 0,
    toArgomentoMista,
    toArgSequenziale,
    toMista,
};

// Enumerator name as the run log prints it ("tsEsame"); "" outside the enumeration.
std::string_view valueName(TTipoSequenza kind);
// Enumerator name of an ordering ("toArgomentoMista"); "" outside the enumeration.
std::string_view valueName(TTipoOrdineSq order);
// Word of the kind's printed-mark field pair ("Esame"); "" for tsNulla and tsCustom.
std::string_view fieldPairWord(TTipoSequenza kind);
// "dt" + word ("dtEsame"); "" when the kind has no pair.
std::string dtFieldName(TTipoSequenza kind);
// "rs" + word ("rsEsame"); "" when the kind has no pair.
std::string rsFieldName(TTipoSequenza kind);

// One question slot of a composed sheet (texts UTF-8).
struct TDomandaPrint {
    int IdMaster = 0;      // master Id drawn for the slot; 0 when cleared
    std::string Svolta;    // "X" once filled from the master
    std::string Testo;     // question text as printed
    std::string Risposta;  // "V" or "F"
    std::string Figura;
    std::string Libro1;
    std::string Libro2;
    std::string BlkDom;  // Blocco + "/" + Domanda
    std::string Indice;  // topic code
};

// One answer-key entry; entry i belongs to slot i of its sheet.
struct TCorrettPrint {
    std::string Scheda;  // sheet label, filled by the print job driver
    std::string Risposta;
    int IdMaster = 0;
    std::string BlkDom;
};

}  // namespace vexora::compose

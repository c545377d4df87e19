// Making the parsed forms of texts and, unless the cache is built out, keeping
// them beside the texts.
#include "interp/parse_cache.h"

#include <memory>

#include "interp/source_place.h"
#include "parse/literal.h"
#include "value/numbers.h"
#include "support/error.h"

#ifndef VELK_PARSE_CACHE
#define VELK_PARSE_CACHE 1
#endif

namespace velk {
namespace {

// Everything known about one text. Each form is made the first time it is
// asked for.
class ParsedText : public TextAttachment {
 public:
  ProgramRef whole;
  ProgramRef inner;
  ExpressionFormRef expr;
  TokenListRef memberPath;
  CallSyntaxRef call;
  bool hasTerm = false;
  TermSyntax term;
  // Where the text was written (see source_place.h): kept with or without
  // the cache, since it is no parsed form but a fact the text cannot tell.
  SourcePlace place;
};

// The entry of a text, made if need be: for its place, which is kept even
// when parsed forms are not.
ParsedText* entryOf(const TextRep& rep) {
  if (!rep.attachment) rep.attachment = std::make_unique<ParsedText>();
  return static_cast<ParsedText*>(rep.attachment.get());
}

// The cache entry of a text, or null when nothing is kept: always without the
// cache, and for the empty text, which has no representation to carry one
// (its forms are trivial to make).
ParsedText* cacheOf(const Text& text) {
  if constexpr (!VELK_PARSE_CACHE) {
    return nullptr;
  } else {
    const TextRep* rep = text.rep();
    return rep ? entryOf(*rep) : nullptr;
  }
}

// The form in `slot`, made by `make` unless it is there already.
template <class Form, class Make>
Form cached(ParsedText* entry, Form ParsedText::*slot, Make make) {
  if (!entry) return make();
  Form& f = entry->*slot;
  if (!f) f = make();
  return f;
}

TokenListRef firstStatementTokens(const Text& text) {
  auto form = makeRef<TokenList>();
  form->tokens = std::move(splitStatements(text).statements.front());
  return form;
}

}  // namespace

TermSyntax parseTerm(const Text& term) {
  TermSyntax t;
  char first = term.empty() ? '\0' : term.front();
  if (first == '$') {
    t.kind = TermKind::Call;
  } else if (first == '(') {
    t.kind = TermKind::Group;
  } else if (first == '{') {
    t.kind = TermKind::Block;
  } else if (!maySpellLiteral(term)) {
    // An operator or a name as a term: an integer without digits. Told
    // without reading it, which would raise an error only to catch it here,
    // for every operator of every expression parsed.
    t.kind = TermKind::BadNumber;
  } else {
    try {
      t.literal = readLiteral(term);
    } catch (const VelkError&) {
      t.kind = TermKind::BadNumber;
    }
  }
  return t;
}

ProgramRef wholeProgram(const Text& text) {
  return cached(cacheOf(text), &ParsedText::whole,
                [&] { return compileProgram(splitStatements(text), placeOf(text)); });
}

ProgramRef innerProgram(const Text& text, const char* what) {
  if (text.size() < 2)
    fail("malformed " + std::string(what),
         quoteForReport(text.view()) + " is too short to be one: it is written between two delimiters, like `{ ... }`");
  return cached(cacheOf(text), &ParsedText::inner,
                [&] { return compileProgram(splitStatements(textWithoutEnds(text)), placeOf(text)); });
}

const Program* keptInnerProgram(const Text& text) {
  if constexpr (!VELK_PARSE_CACHE) {
    return nullptr;
  } else {
    const TextRep* rep = text.rep();
    if (!rep || !rep->attachment) return nullptr;
    return static_cast<const ParsedText*>(rep->attachment.get())->inner.get();
  }
}

ExpressionFormRef expressionForm(const Text& text) {
  ParsedText* entry = cacheOf(text);
  if (entry && entry->expr) return entry->expr;
  auto form = makeRef<ExpressionForm>();
  // The first byte and the last, whatever it is; "(" alone leaves nothing.
  Text body = !text.empty() && text.front() == '(' ? textWithoutEnds(text) : text;
  form->tokens = std::move(splitStatements(body).statements.front());
  // Each token is the shared name object of its spelling, except the text
  // itself: its kept form would then hold its own text for ever.
  for (Text& token : form->tokens) {
    if (Text shared = internName(token); shared.rep() != text.rep())
      token = std::move(shared);
    else
      form->tokenIsText = true;
  }
  if (SourcePlace place = placeOf(text)) placeBlocks(form->tokens, place, true);
  form->terms.reserve(form->tokens.size());
  form->ops.reserve(form->tokens.size());
  for (const Text& token : form->tokens) {
    form->terms.push_back(parseTerm(token));
    form->ops.push_back(opFromText(token.view()));
  }
  auto quiet = [&](size_t i) {
    TermKind k = form->terms[i].kind;
    return k == TermKind::Literal || k == TermKind::BadNumber;
  };
  form->memos.resize(form->tokens.size());
  form->readsNoArgument = true;
  for (size_t i = 0; i < form->tokens.size(); ++i)
    if (!quiet(i) || form->tokens[i].view().starts_with("arg")) form->readsNoArgument = false;
  form->singleTerm = form->tokens.size() == 1 && form->tokens[0].view() != "not";
  form->quietBinary = form->tokens.size() == 3 && form->tokens[0].view() != "not" && quiet(0) && quiet(2);
  if (!entry) return form;
  form->kept = true;
  entry->expr = form;
  return form;
}

TokenListRef memberPath(const Text& target) {
  return cached(cacheOf(target), &ParsedText::memberPath,
                [&] { return firstStatementTokens(textWithoutEnds(target)); });
}

const TermSyntax* cachedTermSyntax(const Text& term) {
  ParsedText* entry = cacheOf(term);
  if (!entry) return nullptr;
  if (!entry->hasTerm) {
    entry->term = parseTerm(term);
    entry->hasTerm = true;
  }
  return &entry->term;
}

CallSyntaxRef callSyntax(const Text& callText) {
  return cached(cacheOf(callText), &ParsedText::call,
                [&]() -> CallSyntaxRef { return makeRef<CallSyntax>(callText); });
}

SourcePlace placeOf(const Text& text) {
  const TextRep* rep = text.rep();
  if (!rep || !rep->attachment) return SourcePlace();
  return static_cast<const ParsedText*>(rep->attachment.get())->place;
}

void setPlace(const Text& text, SourcePlace place) {
  if (const TextRep* rep = text.rep()) entryOf(*rep)->place = std::move(place);
}

}  // namespace velk

// The book list every Bible database of this runtime is keyed by. Names are the
// ones bookmarks and playlists store ("John", "1 Corinthians", "Song of
// Solomon"); `usfm` is the id API.Bible uses; `sword` the name mod2imp prints.
// Positions 1-66 are the Protestant canon in its usual order; the
// deuterocanonical books follow so that Genesis..Revelation stays contiguous.

const BOOKS = [
  // [name, usfm, testament, sword name, abbreviations...]
  ['Genesis', 'GEN', 'OT', 'Genesis', 'Gen', 'Ge', 'Gn'],
  ['Exodus', 'EXO', 'OT', 'Exodus', 'Exod', 'Exo', 'Ex'],
  ['Leviticus', 'LEV', 'OT', 'Leviticus', 'Lev', 'Le', 'Lv'],
  ['Numbers', 'NUM', 'OT', 'Numbers', 'Num', 'Nu', 'Nm', 'Nb'],
  ['Deuteronomy', 'DEU', 'OT', 'Deuteronomy', 'Deut', 'Deu', 'Dt'],
  ['Joshua', 'JOS', 'OT', 'Joshua', 'Josh', 'Jos', 'Jsh'],
  ['Judges', 'JDG', 'OT', 'Judges', 'Judg', 'Jdg', 'Jg', 'Jdgs'],
  ['Ruth', 'RUT', 'OT', 'Ruth', 'Rth', 'Ru'],
  ['1 Samuel', '1SA', 'OT', 'I Samuel', '1 Sam', '1 Sa', '1 Sm', '1 S'],
  ['2 Samuel', '2SA', 'OT', 'II Samuel', '2 Sam', '2 Sa', '2 Sm', '2 S'],
  ['1 Kings', '1KI', 'OT', 'I Kings', '1 Kgs', '1 Ki', '1 Kin', '1 K'],
  ['2 Kings', '2KI', 'OT', 'II Kings', '2 Kgs', '2 Ki', '2 Kin', '2 K'],
  ['1 Chronicles', '1CH', 'OT', 'I Chronicles', '1 Chr', '1 Chron', '1 Ch'],
  ['2 Chronicles', '2CH', 'OT', 'II Chronicles', '2 Chr', '2 Chron', '2 Ch'],
  ['Ezra', 'EZR', 'OT', 'Ezra', 'Ezr', 'Ez'],
  ['Nehemiah', 'NEH', 'OT', 'Nehemiah', 'Neh', 'Ne'],
  ['Esther', 'EST', 'OT', 'Esther', 'Esth', 'Est', 'Es'],
  ['Job', 'JOB', 'OT', 'Job', 'Jb'],
  ['Psalms', 'PSA', 'OT', 'Psalms', 'Psalm', 'Ps', 'Psa', 'Pss', 'Psm', 'Pslm'],
  ['Proverbs', 'PRO', 'OT', 'Proverbs', 'Prov', 'Pro', 'Prv', 'Pr'],
  ['Ecclesiastes', 'ECC', 'OT', 'Ecclesiastes', 'Eccl', 'Eccles', 'Ecc', 'Ec', 'Qoh'],
  ['Song of Solomon', 'SNG', 'OT', 'Song of Solomon', 'Song', 'Song of Songs', 'Canticles', 'SOS', 'So', 'Sg', 'Cant'],
  ['Isaiah', 'ISA', 'OT', 'Isaiah', 'Isa', 'Is'],
  ['Jeremiah', 'JER', 'OT', 'Jeremiah', 'Jer', 'Je', 'Jr'],
  ['Lamentations', 'LAM', 'OT', 'Lamentations', 'Lam', 'La'],
  ['Ezekiel', 'EZK', 'OT', 'Ezekiel', 'Ezek', 'Eze', 'Ezk'],
  ['Daniel', 'DAN', 'OT', 'Daniel', 'Dan', 'Da', 'Dn'],
  ['Hosea', 'HOS', 'OT', 'Hosea', 'Hos', 'Ho'],
  ['Joel', 'JOL', 'OT', 'Joel', 'Jl'],
  ['Amos', 'AMO', 'OT', 'Amos', 'Am'],
  ['Obadiah', 'OBA', 'OT', 'Obadiah', 'Obad', 'Ob'],
  ['Jonah', 'JON', 'OT', 'Jonah', 'Jon', 'Jnh'],
  ['Micah', 'MIC', 'OT', 'Micah', 'Mic', 'Mc'],
  ['Nahum', 'NAM', 'OT', 'Nahum', 'Nah', 'Na'],
  ['Habakkuk', 'HAB', 'OT', 'Habakkuk', 'Hab', 'Hb'],
  ['Zephaniah', 'ZEP', 'OT', 'Zephaniah', 'Zeph', 'Zep', 'Zp'],
  ['Haggai', 'HAG', 'OT', 'Haggai', 'Hag', 'Hg'],
  ['Zechariah', 'ZEC', 'OT', 'Zechariah', 'Zech', 'Zec', 'Zc'],
  ['Malachi', 'MAL', 'OT', 'Malachi', 'Mal', 'Ml'],
  ['Matthew', 'MAT', 'NT', 'Matthew', 'Matt', 'Mat', 'Mt'],
  ['Mark', 'MRK', 'NT', 'Mark', 'Mrk', 'Mar', 'Mk', 'Mr'],
  ['Luke', 'LUK', 'NT', 'Luke', 'Luk', 'Lk'],
  ['John', 'JHN', 'NT', 'John', 'Jhn', 'Joh', 'Jn'],
  ['Acts', 'ACT', 'NT', 'Acts', 'Act', 'Ac'],
  ['Romans', 'ROM', 'NT', 'Romans', 'Rom', 'Ro', 'Rm'],
  ['1 Corinthians', '1CO', 'NT', 'I Corinthians', '1 Cor', '1 Co'],
  ['2 Corinthians', '2CO', 'NT', 'II Corinthians', '2 Cor', '2 Co'],
  ['Galatians', 'GAL', 'NT', 'Galatians', 'Gal', 'Ga'],
  ['Ephesians', 'EPH', 'NT', 'Ephesians', 'Eph', 'Ephes'],
  ['Philippians', 'PHP', 'NT', 'Philippians', 'Phil', 'Php', 'Pp'],
  ['Colossians', 'COL', 'NT', 'Colossians', 'Col', 'Co'],
  ['1 Thessalonians', '1TH', 'NT', 'I Thessalonians', '1 Thess', '1 Thes', '1 Th'],
  ['2 Thessalonians', '2TH', 'NT', 'II Thessalonians', '2 Thess', '2 Thes', '2 Th'],
  ['1 Timothy', '1TI', 'NT', 'I Timothy', '1 Tim', '1 Ti'],
  ['2 Timothy', '2TI', 'NT', 'II Timothy', '2 Tim', '2 Ti'],
  ['Titus', 'TIT', 'NT', 'Titus', 'Tit', 'Ti'],
  ['Philemon', 'PHM', 'NT', 'Philemon', 'Philem', 'Phlm', 'Phm', 'Pm'],
  ['Hebrews', 'HEB', 'NT', 'Hebrews', 'Heb'],
  ['James', 'JAS', 'NT', 'James', 'Jas', 'Jm'],
  ['1 Peter', '1PE', 'NT', 'I Peter', '1 Pet', '1 Pe', '1 Pt', '1 P'],
  ['2 Peter', '2PE', 'NT', 'II Peter', '2 Pet', '2 Pe', '2 Pt', '2 P'],
  ['1 John', '1JN', 'NT', 'I John', '1 Jn', '1 Jhn', '1 Jo', '1 J'],
  ['2 John', '2JN', 'NT', 'II John', '2 Jn', '2 Jhn', '2 Jo', '2 J'],
  ['3 John', '3JN', 'NT', 'III John', '3 Jn', '3 Jhn', '3 Jo', '3 J'],
  ['Jude', 'JUD', 'NT', 'Jude', 'Jud', 'Jd'],
  ['Revelation', 'REV', 'NT', 'Revelation of John', 'Rev', 'Re', 'Rv', 'Revelations', 'Apocalypse', 'Apoc'],
  ['Tobit', 'TOB', 'DC', 'Tobit', 'Tob', 'Tb'],
  ['Judith', 'JDT', 'DC', 'Judith', 'Jdt', 'Jdth'],
  ['Esther (Greek)', 'ESG', 'DC', 'Esther (Greek)', 'Greek Esther', 'EsthGr', 'AddEsth'],
  ['Wisdom', 'WIS', 'DC', 'Wisdom', 'Wisdom of Solomon', 'Wis', 'Ws'],
  ['Sirach', 'SIR', 'DC', 'Sirach', 'Ecclesiasticus', 'Sir'],
  ['Baruch', 'BAR', 'DC', 'Baruch', 'Bar'],
  ['Prayer of Azariah', 'S3Y', 'DC', 'Prayer of Azariah', 'Song of the Three', 'PrAzar'],
  ['Susanna', 'SUS', 'DC', 'Susanna', 'Sus'],
  ['Bel and the Dragon', 'BEL', 'DC', 'Bel and the Dragon', 'Bel'],
  ['1 Maccabees', '1MA', 'DC', 'I Maccabees', '1 Macc', '1 Mac', '1 Ma'],
  ['2 Maccabees', '2MA', 'DC', 'II Maccabees', '2 Macc', '2 Mac', '2 Ma'],
  ['3 Maccabees', '3MA', 'DC', 'III Maccabees', '3 Macc', '3 Mac', '3 Ma'],
  ['4 Maccabees', '4MA', 'DC', 'IV Maccabees', '4 Macc', '4 Mac', '4 Ma'],
  ['1 Esdras', '1ES', 'DC', 'I Esdras', '1 Esd', '1 Es'],
  ['2 Esdras', '2ES', 'DC', 'II Esdras', '2 Esd', '2 Es'],
  ['Prayer of Manasseh', 'MAN', 'DC', 'Prayer of Manasses', 'Prayer of Manasses', 'PrMan', 'Man'],
  ['Psalm 151', 'PS2', 'DC', 'Additional Psalm', 'Ps 151', 'Additional Psalm'],
];

const SINGLE_CHAPTER = new Set(['OBA', 'PHM', '2JN', '3JN', 'JUD']);

export const CANON = BOOKS.map(([name, usfm, testament, sword, ...abbreviations], index) =>
  Object.freeze({
    position: index + 1,
    name,
    usfm,
    testament,
    sword,
    singleChapter: SINGLE_CHAPTER.has(usfm),
    abbreviations: Object.freeze(abbreviations),
  }),
);

/** The 66 books every complete Protestant Bible database must hold. */
export const PROTESTANT_CANON = CANON.filter((b) => b.testament !== 'DC');

const ORDINAL_WORDS = new Map([
  ['first', '1'], ['second', '2'], ['third', '3'], ['fourth', '4'],
  ['1st', '1'], ['2nd', '2'], ['3rd', '3'], ['4th', '4'],
  ['iv', '4'], ['iii', '3'], ['ii', '2'], ['i', '1'],
]);

/**
 * Folds the ways people write a book name onto one key: case, dots, spaces
 * and a leading ordinal ("I John", "First John", "1st John", "1John") do not
 * matter.
 */
export function bookKey(text) {
  let s = String(text).normalize('NFKC').toLowerCase().replace(/\./g, ' ').trim().replace(/\s+/g, ' ');
  const m = /^([a-z0-9]+) (.+)$/.exec(s);
  if (m && ORDINAL_WORDS.has(m[1])) s = `${ORDINAL_WORDS.get(m[1])} ${m[2]}`;
  return s.replace(/ /g, '');
}

const byKey = new Map();
const fullKeys = [];
for (const book of CANON) {
  for (const alias of [book.name, book.sword, book.usfm, ...book.abbreviations]) {
    const key = bookKey(alias);
    if (!byKey.has(key)) byKey.set(key, book);
  }
  fullKeys.push([bookKey(book.name), book]);
}

/**
 * The canonical book for a name, an abbreviation, a USFM id or an
 * unambiguous start of a full name ("Deut", "Revel"); undefined otherwise.
 */
export function findBook(text) {
  if (typeof text !== 'string') return undefined;
  const key = bookKey(text);
  if (!key) return undefined;
  const exact = byKey.get(key);
  if (exact) return exact;
  if (key.length < 3) return undefined;
  const candidates = fullKeys.filter(([full]) => full.startsWith(key));
  return candidates.length === 1 ? candidates[0][1] : undefined;
}

export function bookByName(name) {
  return CANON.find((b) => b.name === name);
}

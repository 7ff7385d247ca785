/* The stand-in Mac's CoreFoundation: only what the server calls, declared as
 * Apple's CoreFoundation reference describes it (types, constants and their
 * values, signatures). It is compiled against, never run: the server's use
 * of CoreFoundation is checked against Apple's real headers by the macOS
 * compile of every file, and run by the workflow's macOS jobs. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned char Boolean;
typedef uint8_t UInt8;
typedef uint16_t UInt16;
typedef uint32_t UInt32;
typedef UInt16 UniChar;
typedef UInt32 UTF32Char;
typedef signed long CFIndex;
typedef unsigned long CFTypeID;
typedef unsigned long CFOptionFlags;
typedef const void* CFTypeRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef struct __CFString* CFMutableStringRef;
typedef const struct __CFLocale* CFLocaleRef;
typedef const struct __CFCharacterSet* CFCharacterSetRef;
typedef struct __CFBundle* CFBundleRef;

typedef struct {
  CFIndex location;
  CFIndex length;
} CFRange;

static inline CFRange CFRangeMake(CFIndex location, CFIndex length) {
  CFRange range;
  range.location = location;
  range.length = length;
  return range;
}

typedef CFIndex CFComparisonResult;
enum {
  kCFCompareLessThan = -1,
  kCFCompareEqualTo = 0,
  kCFCompareGreaterThan = 1
};

typedef CFOptionFlags CFStringCompareFlags;
enum {
  kCFCompareCaseInsensitive = 1,
  kCFCompareBackwards = 4,
  kCFCompareAnchored = 8,
  kCFCompareNonliteral = 16,
  kCFCompareLocalized = 32,
  kCFCompareNumerically = 64,
  kCFCompareDiacriticInsensitive = 128,
  kCFCompareWidthInsensitive = 256,
  kCFCompareForcedOrdering = 512
};

typedef UInt32 CFStringEncoding;
enum {
  kCFStringEncodingUTF8 = 0x08000100,
  kCFStringEncodingUTF16 = 0x0100,
  kCFStringEncodingUTF32 = 0x0c000100
};

typedef CFIndex CFStringNormalizationForm;
enum {
  kCFStringNormalizationFormD = 0,
  kCFStringNormalizationFormKD = 1,
  kCFStringNormalizationFormC = 2,
  kCFStringNormalizationFormKC = 3
};

typedef CFIndex CFCharacterSetPredefinedSet;
enum {
  kCFCharacterSetControl = 1,
  kCFCharacterSetWhitespace = 2,
  kCFCharacterSetWhitespaceAndNewline = 3,
  kCFCharacterSetDecimalDigit = 4,
  kCFCharacterSetLetter = 5,
  kCFCharacterSetLowercaseLetter = 6,
  kCFCharacterSetUppercaseLetter = 7,
  kCFCharacterSetNonBase = 8,
  kCFCharacterSetDecomposable = 9,
  kCFCharacterSetAlphaNumeric = 10,
  kCFCharacterSetPunctuation = 11,
  kCFCharacterSetIllegal = 12,
  kCFCharacterSetCapitalizedLetter = 13,
  kCFCharacterSetSymbol = 14,
  kCFCharacterSetNewline = 15
};

extern const CFAllocatorRef kCFAllocatorDefault;

/* A constant string: the compiler lays it out and points it at the class
 * the library exports. */
#define CFSTR(text) \
  ((CFStringRef)__builtin___CFStringMakeConstantString("" text ""))

CFTypeID CFGetTypeID(CFTypeRef object);
void CFRelease(CFTypeRef object);

CFTypeID CFStringGetTypeID(void);
CFIndex CFStringGetLength(CFStringRef string);
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length,
                                          CFStringEncoding encoding);
Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding);
CFStringRef CFStringCreateWithBytes(CFAllocatorRef allocator,
                                    const UInt8* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding,
                                    Boolean isExternalRepresentation);
CFIndex CFStringGetBytes(CFStringRef string, CFRange range,
                         CFStringEncoding encoding, UInt8 lossByte,
                         Boolean isExternalRepresentation, UInt8* buffer,
                         CFIndex maxBufLen, CFIndex* usedBufLen);
void CFStringGetCharacters(CFStringRef string, CFRange range, UniChar* buffer);
CFMutableStringRef CFStringCreateMutable(CFAllocatorRef allocator,
                                         CFIndex maxLength);
void CFStringAppendCharacters(CFMutableStringRef string, const UniChar* chars,
                              CFIndex numChars);
CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef allocator,
                                             CFIndex maxLength,
                                             CFStringRef string);
void CFStringLowercase(CFMutableStringRef string, CFLocaleRef locale);
void CFStringFold(CFMutableStringRef string, CFStringCompareFlags options,
                  CFLocaleRef locale);
void CFStringNormalize(CFMutableStringRef string,
                       CFStringNormalizationForm form);
CFComparisonResult CFStringCompare(CFStringRef first, CFStringRef second,
                                   CFStringCompareFlags options);
Boolean CFStringFindWithOptions(CFStringRef string, CFStringRef toFind,
                                CFRange rangeToSearch,
                                CFStringCompareFlags options, CFRange* result);

CFCharacterSetRef CFCharacterSetGetPredefined(CFCharacterSetPredefinedSet set);
Boolean CFCharacterSetIsLongCharacterMember(CFCharacterSetRef set,
                                            UTF32Char character);

CFBundleRef CFBundleGetMainBundle(void);
CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle,
                                               CFStringRef key);

#ifdef __cplusplus
}
#endif

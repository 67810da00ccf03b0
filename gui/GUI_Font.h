// Font records, font operations and character readers of the graphics library.
#pragma once

// Basic types of the library. Other library headers may repeat these typedefs,
// but only with exactly these types.
typedef unsigned char U8;
typedef signed char I8;
typedef unsigned short U16;
typedef short I16;
typedef unsigned int U32;
typedef int I32;
typedef U32 LCD_PIXELINDEX;  // a colour index of the 24-bit driver
typedef int LCD_DRAWMODE;    // bits: 1 XOR, 2 transparent, 4 reverse

struct GUI_FONT;

// ---------------------------------------------------------------------------
// Records

struct GUI_FONTINFO {
  U16 Flags;  // GUI_FONTINFO_FLAG_PROP or GUI_FONTINFO_FLAG_MONO
  U8 Baseline;
  U8 LHeight;
  U8 CHeight;
};
constexpr U16 GUI_FONTINFO_FLAG_PROP = 1;
constexpr U16 GUI_FONTINFO_FLAG_MONO = 2;

// One glyph: YSize rows top to bottom, BytesPerLine bytes each, MSB leftmost, 1 is ink.
struct GUI_CHARINFO {
  U8 XSize;         // glyph width in pixels
  U8 XDist;         // advance in pixels
  U8 BytesPerLine;
  const unsigned char* pData;
};

// One range of codes First..Last (inclusive) of a proportional font.
struct GUI_FONT_PROP {
  U16 First;
  U16 Last;
  const GUI_CHARINFO* paCharInfo;  // one per code First..Last
  const GUI_FONT_PROP* pNext;      // null ends the chain
};

// Monospaced fonts (linked, not used by the system).
struct GUI_FONT_TRANSLIST {
  I16 c0;  // glyph of pTransData, -1 none
  I16 c1;  // glyph drawn over c0 in transparent mode, -1 none
};
struct GUI_FONT_TRANSINFO {
  U16 FirstChar;
  U16 LastChar;
  const GUI_FONT_TRANSLIST* pList;  // one per code FirstChar..LastChar
};
struct GUI_FONT_MONO {
  const unsigned char* pData;       // glyphs FirstChar..LastChar, YSize x BytesPerLine each
  const U8* pTransData;             // glyphs named by pTrans
  const GUI_FONT_TRANSINFO* pTrans;
  U16 FirstChar;
  U16 LastChar;
  U8 XSize;
  U8 XDist;
  U8 BytesPerLine;
};

// A font's own line reader.
typedef int tGUI_GetLineDistX(const char* s, int Len);
typedef int tGUI_GetLineLen(const char* s, int MaxLen);
typedef void tGUI_DispLine(const char* s, int Len);
struct tGUI_ENC_APIList {
  tGUI_GetLineDistX* pfGetLineDistX;  // width in pixels of the first Len bytes
  tGUI_GetLineLen* pfGetLineLen;      // bytes of the line
  tGUI_DispLine* pfDispLine;          // draws the first Len bytes
};

// The library's general character reader (the context's pUC_API).
struct GUI_UC_ENC_APILIST {
  U16 (*pfGetCharCode)(const char* s);
  int (*pfGetCharSize)(const char* s);
  int (*pfCalcSizeOfChar)(U16 c);
  int (*pfEncode)(char* s, U16 c);
};

// The four operations of a font.
typedef void GUI_DISPCHAR(U16 c);
typedef int GUI_GETCHARDISTX(U16 c);
typedef void GUI_GETFONTINFO(const GUI_FONT* pFont, GUI_FONTINFO* pfi);
typedef int GUI_ISINFONT(const GUI_FONT* pFont, U16 c);

// Font data: which member is valid depends on the font kind.
union GUI_FONT_DATA {
  const void* pFontData;       // loaded font: the font image
  const GUI_FONT_MONO* pMono;  // monospaced font
  const GUI_FONT_PROP* pProp;  // proportional font: first node of the chain
};

struct GUI_FONT {
  GUI_DISPCHAR* pfDispChar;
  GUI_GETCHARDISTX* pfGetCharDistX;
  GUI_GETFONTINFO* pfGetFontInfo;
  GUI_ISINFONT* pfIsInFont;
  const tGUI_ENC_APIList* pafEncode;  // null: the general character reader
  U8 YSize;
  U8 YDist;
  U8 XMag;
  U8 YMag;
  GUI_FONT_DATA p;
  U8 Baseline;
  U8 LHeight;
  U8 CHeight;
};

// Fonts loaded from a font image ("GUIP", little-endian).
struct tGUI_SIF_APIList {
  GUI_DISPCHAR* pfDispChar;
  GUI_GETCHARDISTX* pfGetCharDistX;
  GUI_GETFONTINFO* pfGetFontInfo;
  GUI_ISINFONT* pfIsInFont;
};
struct GUI_SIF_CHAR_AREA {
  U16 First;
  U16 Last;
};
struct GUI_SIF_CHARINFO {
  U16 XSize;
  U16 XDist;
  U16 BytesPerLine;
  U16 Dummy;
  U32 OffData;  // offset of the 1-bit glyph from the image start
};

// ---------------------------------------------------------------------------
// Fonts and tables

extern const GUI_FONT GUI_FontHZ24x24;
extern const tGUI_ENC_APIList GUI_ENC_APIList_SJIS;  // byte > 0x7F leads a 2-byte code
extern const GUI_UC_ENC_APILIST GUI_UC_None;         // one byte per character
extern const GUI_UC_ENC_APILIST GUI_UC_UTF8;         // UTF-8, up to 16-bit codes
extern const tGUI_SIF_APIList GUI_SIF_APIList_Prop;

// ---------------------------------------------------------------------------
// Operations

// Proportional fonts (current font of the context, except where the font is passed).
void GUIPROP_DispChar(U16 c);
int GUIPROP_GetCharDistX(U16 c);
void GUIPROP_GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pfi);
int GUIPROP_IsInFont(const GUI_FONT* pFont, U16 c);

// Monospaced fonts.
void GUIMONO_DispChar(U16 c);
int GUIMONO_GetCharDistX(U16 c);
void GUIMONO_GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pfi);
int GUIMONO_IsInFont(const GUI_FONT* pFont, U16 c);

// Loaded fonts.
void GUI_SIF_CreateFont(const void* pFontData, GUI_FONT* pFont, const tGUI_SIF_APIList* pFontType);
void GUI_SIF_DeleteFont(GUI_FONT* pFont);
const U8* GUI_SIF__GetpCharInfo(const GUI_FONT* pFont, U16 c);  // GUI_SIF_CHARINFO in the image, or null
void GUI_SIF__GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pfi);
U16 GUI__Read16(const U8** ppData);
U32 GUI__Read32(const U8** ppData);

// Font queries on the current font (or the font passed; null means current).
int GUI_GetCharDistX(U16 c);
int GUI_GetFontDistY(void);
int GUI_GetFontSizeY(void);
int GUI__GetFontSizeY(void);
int GUI_GetYSizeOfFont(const GUI_FONT* pFont);
int GUI_GetYDistOfFont(const GUI_FONT* pFont);
void GUI_GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pfi);
int GUI_IsInFont(const GUI_FONT* pFont, U16 c);

// General character reader (through the context's pUC_API).
void GUI_UC_SetEncodeNone(void);
void GUI_UC_SetEncodeUTF8(void);
U16 GUI_UC_GetCharCode(const char* s);
int GUI_UC_GetCharSize(const char* s);
int GUI_UC__CalcSizeOfChar(U16 c);
int GUI_UC_Encode(char* s, U16 c);
U16 GUI_UC__GetCharCodeInc(const char** ps);
int GUI_UC__NumChars2NumBytes(const char* s, int NumChars);
int GUI_UC__NumBytes2NumChars(const char* s, int NumBytes);
int GUI__GetNumChars(const char* s);
int GUI_UC_ConvertUC2UTF8(const U16* s, int Len, char* pBuffer, int BufferSize);
int GUI_UC_ConvertUTF82UC(const char* s, int Len, U16* pBuffer, int BufferSize);
void GUI_UC2DB(U16 Code, U8* pOut);
U16 GUI_DB2UC(U8 Byte0, U8 Byte1);

// ---------------------------------------------------------------------------
// Provided by the rest of the library (context, LCD layer and text output);
// the font operations draw and read the context through these.
LCD_DRAWMODE LCD_SetDrawMode(LCD_DRAWMODE dm);  // returns the old mode
void LCD_DrawBitmap(int x0, int y0, int xsize, int ysize, int xMul, int yMul, int BitsPerPixel,
                    int BytesPerLine, const U8* pPixel, const LCD_PIXELINDEX* pTrans);
void LCD_FillRect(int x0, int y0, int x1, int y1);
void GL_DispChar(U16 c);

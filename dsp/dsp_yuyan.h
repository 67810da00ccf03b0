// The texts every page and message prints, in the chosen language. Generated
// by tools/make_texts.py from tools/menu_texts.tsv; do not edit.
#pragma once

#include <cstdint>

extern const char* zhuyi;
extern const char* gcms;
extern const char* xtsz;
extern const char* bdsxt;
extern const char* tzmqcd;
extern const char* qmqcd;
extern const char* hmqcd;
extern const char* tzhsfw;
extern const char* tzqsfw;
extern const char* tzstfw;
extern const char* hfcczt;
extern const char* bcsztc;
extern const char* gjjdgl;
extern const char* txld;
extern const char* zhong;
extern const char* shaoan;
extern const char* an;
extern const char* liang;
extern const char* shaoliang;
extern const char* zxdqd;
extern const char* dcys;
extern const char* gb;
extern const char* kq;
extern const char* lxgn;
extern const char* queding;
extern const char* quxiao;
extern const char* yysz;
extern const char* qjksfw;
extern const char* qjtwz;
extern const char* zc;
extern const char* yc;
extern const char* qxgj;
extern const char* csmx;
extern const char* sxc;
extern const char* lxc;
extern const char* dhqd;
extern const char* ck;
extern const char* miao;
extern const char* gjcssz;
extern const char* qsrmm;
extern const char* cxi;
extern const char* cxing;
extern const char* cscd;
extern const char* cskd;
extern const char* da;
extern const char* xiao;
extern const char* xsmq;
extern const char* shi;
extern const char* fou;
extern const char* yz;
extern const char* xtsj;
extern const char* sslx;
extern const char* sjsz;
extern const char* cpgsh;
extern const char* nian;
extern const char* yue;
extern const char* ri;
extern const char* shizhong;
extern const char* fenzhong;
extern const char* miaozhong;
extern const char* spsczs;
extern const char* jcsjwj;
extern const char* jcup;
extern const char* gshwc;
extern const char* qsh;
extern const char* xtsjz;
extern const char* xtcqz;
extern const char* shanchu;
extern const char* bofang;
extern const char* suoding;
extern const char* jiesuo;
extern const char* daoru;
extern const char* drcswj;
extern const char* dccswj;
extern const char* jccswj;
extern const char* dcwjwc;
extern const char* drwjwc;
extern const char* gshup;
extern const char* tclx;
extern const char* xiaos;
extern const char* lxsz;
extern const char* haomi;

// Points the texts at a language: 1 English, 2 Traditional Chinese, any
// other value Simplified Chinese. The unit "mm" (haomi) never changes.
void set_yuyan(std::uint16_t flag);

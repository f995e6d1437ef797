#include "language/product_lexicon_data.h"

namespace zelk::ProductLexiconData {

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kAny = u"艾埃诶欸哎爱"_s; // the "ai/ei" opening shared by F, H, L, M, N, S, X

QList<QList<Reading>> buildReadings() {
    return {
        {{u"诶欸艾埃哎"_s}},                                  // A
        {{u"逼哔必毕碧"_s}},                                  // B
        {{u"西希茜塞赛斯思"_s}},                              // C
        {{u"迪滴嘀低弟帝"_s}},                                // D
        {{u"伊衣依壹"_s}},                                    // E
        {{kAny, u"夫弗福服"_s}},                              // F
        {{u"吉鸡基"_s}},                                      // G
        {{kAny, u"奇其七尺吃池迟驰"_s}},                      // H
        {{u"艾哎唉埃爱"_s}},                                  // I
        {{u"杰姐接街捷"_s}},                                  // J
        {{u"开凯楷"_s}},                                      // K
        {{kAny, u"尔儿乐勒路露陆鲁撸"_s}},                    // L
        {{u"艾埃诶欸哎爱恩嗯"_s, u"姆母木牧慕幕"_s}},         // M
        {{u"恩嗯摁"_s}, {kAny, u"恩嗯"_s}},                   // N
        {{u"欧偶哦噢喔"_s}},                                  // O
        {{u"皮批匹屁披劈霹"_s}},                              // P
        {{u"扣寇蔻叩抠"_s}, {u"秋丘邱球求"_s}},               // Q
        {{u"阿啊"_s, u"尔儿耳"_s}},                           // R
        {{kAny, u"斯思丝司撕"_s}},                            // S
        {{u"踢梯剔缇替提"_s}},                                // T
        {{u"悠优幽忧呦攸"_s}},                                // U
        {{u"威维微薇唯伟卫"_s}},                              // V
        {{u"达搭答打"_s, u"不布步卜波博伯勃"_s, u"溜六刘留柳流"_s}}, // W
        {{kAny, u"克科可客"_s, u"斯思丝司撕"_s}},             // X
        {{u"歪外崴"_s}},                                      // Y
        {{u"贼泽则兹滋吱"_s}},                                // Z
    };
}

} // namespace

const QList<Reading>& letterReadings(QChar capital) {
    static const QList<QList<Reading>> table = buildReadings();
    static const QList<Reading> none;
    const char16_t c = capital.unicode();
    if (c < u'A' || c > u'Z')
        return none;
    return table[c - u'A'];
}

const QStringList& terms() {
    static const QStringList list{
        u"UU远程"_s, u"ToDesk"_s, u"向日葵"_s, u"向日葵远程"_s, u"TeamViewer"_s, u"AnyDesk"_s, u"RustDesk"_s, u"Parsec"_s,
        u"网易UU加速器"_s, u"UU加速器"_s, u"微信"_s, u"企业微信"_s, u"微信读书"_s, u"微信支付"_s, u"QQ"_s, u"QQ音乐"_s, u"QQ邮箱"_s,
        u"QQ浏览器"_s, u"TIM"_s, u"钉钉"_s, u"飞书"_s, u"飞书文档"_s, u"飞书多维表格"_s, u"腾讯会议"_s, u"腾讯文档"_s, u"腾讯视频"_s, u"腾讯元宝"_s,
        u"腾讯云"_s, u"Zoom"_s, u"Teams"_s, u"Slack"_s, u"Discord"_s, u"Telegram"_s, u"WhatsApp"_s, u"LINE"_s,
        u"Signal"_s, u"Skype"_s, u"Messenger"_s, u"Instagram"_s, u"Facebook"_s, u"Twitter"_s, u"Threads"_s,
        u"LinkedIn"_s, u"Reddit"_s, u"YouTube"_s, u"TikTok"_s, u"抖音"_s, u"快手"_s, u"小红书"_s, u"微博"_s, u"知乎"_s, u"豆瓣"_s,
        u"B站"_s, u"哔哩哔哩"_s, u"西瓜视频"_s, u"今日头条"_s, u"爱奇艺"_s, u"优酷"_s, u"芒果TV"_s, u"Netflix"_s, u"Spotify"_s,
        u"Apple Music"_s, u"网易云音乐"_s, u"酷狗音乐"_s, u"酷我音乐"_s, u"喜马拉雅"_s, u"得到"_s, u"Keep"_s, u"淘宝"_s, u"天猫"_s, u"京东"_s,
        u"拼多多"_s, u"闲鱼"_s, u"美团"_s, u"饿了么"_s, u"大众点评"_s, u"支付宝"_s, u"云闪付"_s, u"携程"_s, u"飞猪"_s, u"去哪儿"_s, u"滴滴"_s,
        u"高德地图"_s, u"百度地图"_s, u"12306"_s, u"Booking"_s, u"Airbnb"_s, u"Uber"_s, u"Amazon"_s, u"eBay"_s, u"Shopify"_s,
        u"PayPal"_s, u"Stripe"_s, u"Visa"_s, u"Mastercard"_s, u"ChatGPT"_s, u"GPT"_s, u"OpenAI"_s, u"Claude"_s,
        u"Claude Code"_s, u"Claude Desktop"_s, u"Anthropic"_s, u"Gemini"_s, u"Google"_s, u"DeepSeek"_s, u"Kimi"_s,
        u"豆包"_s, u"通义千问"_s, u"通义"_s, u"文心一言"_s, u"智谱清言"_s, u"ChatGLM"_s, u"讯飞星火"_s, u"MiniMax"_s, u"Grok"_s,
        u"Perplexity"_s, u"Copilot"_s, u"GitHub Copilot"_s, u"Cursor"_s, u"Windsurf"_s, u"Codex"_s, u"Midjourney"_s,
        u"Stable Diffusion"_s, u"ComfyUI"_s, u"Runway"_s, u"Sora"_s, u"可灵"_s, u"即梦"_s, u"剪映"_s, u"CapCut"_s,
        u"Typora"_s, u"Bear"_s, u"Things"_s, u"LM Studio"_s, u"Hugging Face"_s, u"LangChain"_s, u"Dify"_s, u"Coze"_s,
        u"扣子"_s, u"Manus"_s, u"Notion"_s, u"Notion AI"_s, u"Obsidian"_s, u"Evernote"_s, u"印象笔记"_s, u"有道云笔记"_s,
        u"语雀"_s, u"石墨文档"_s, u"WPS"_s, u"WPS Office"_s, u"Word"_s, u"Excel"_s, u"PowerPoint"_s, u"PPT"_s,
        u"Outlook"_s, u"OneNote"_s, u"OneDrive"_s, u"Office"_s, u"Microsoft 365"_s, u"Google Docs"_s,
        u"Google Drive"_s, u"Gmail"_s, u"Google Chrome"_s, u"Chrome"_s, u"Safari"_s, u"Firefox"_s, u"Edge"_s,
        u"Arc"_s, u"Opera"_s, u"Brave"_s, u"Figma"_s, u"Sketch"_s, u"Photoshop"_s, u"Illustrator"_s, u"Premiere"_s,
        u"After Effects"_s, u"Lightroom"_s, u"Final Cut Pro"_s, u"Logic Pro"_s, u"DaVinci Resolve"_s, u"Blender"_s,
        u"Canva"_s, u"稿定设计"_s, u"创客贴"_s, u"MasterGo"_s, u"即时设计"_s, u"Pixso"_s, u"Xmind"_s, u"幕布"_s, u"ProcessOn"_s,
        u"GitHub"_s, u"GitLab"_s, u"Gitee"_s, u"Bitbucket"_s, u"Git"_s, u"VS Code"_s, u"Visual Studio"_s, u"Xcode"_s,
        u"Android Studio"_s, u"IntelliJ IDEA"_s, u"PyCharm"_s, u"WebStorm"_s, u"JetBrains"_s, u"Sublime Text"_s,
        u"Vim"_s, u"Neovim"_s, u"Emacs"_s, u"iTerm"_s, u"Warp"_s, u"Terminal"_s, u"PowerShell"_s, u"Docker"_s,
        u"Kubernetes"_s, u"Postman"_s, u"Jira"_s, u"Confluence"_s, u"Trello"_s, u"Asana"_s, u"Linear"_s,
        u"ClickUp"_s, u"Airtable"_s, u"Zapier"_s, u"Vercel"_s, u"Netlify"_s, u"Cloudflare"_s, u"AWS"_s, u"Azure"_s,
        u"阿里云"_s, u"华为云"_s, u"百度网盘"_s, u"阿里云盘"_s, u"夸克"_s, u"夸克网盘"_s, u"迅雷"_s, u"115网盘"_s, u"Dropbox"_s, u"iCloud"_s,
        u"iCloud Drive"_s, u"坚果云"_s, u"Google Photos"_s, u"Python"_s, u"JavaScript"_s, u"TypeScript"_s, u"Java"_s,
        u"Swift"_s, u"SwiftUI"_s, u"Kotlin"_s, u"Rust"_s, u"Golang"_s, u"React"_s, u"Vue"_s, u"Next.js"_s,
        u"Node.js"_s, u"Flutter"_s, u"Django"_s, u"MySQL"_s, u"PostgreSQL"_s, u"MongoDB"_s, u"Redis"_s, u"SQLite"_s,
        u"Linux"_s, u"Ubuntu"_s, u"macOS"_s, u"iOS"_s, u"iPadOS"_s, u"Android"_s, u"HarmonyOS"_s, u"鸿蒙"_s,
        u"Windows"_s, u"Windows 11"_s, u"iPhone"_s, u"iPad"_s, u"MacBook"_s, u"MacBook Pro"_s, u"MacBook Air"_s,
        u"Mac mini"_s, u"iMac"_s, u"AirPods"_s, u"Apple Watch"_s, u"Vision Pro"_s, u"App Store"_s, u"Google Play"_s,
        u"Steam"_s, u"Epic"_s, u"Switch"_s, u"PlayStation"_s, u"Xbox"_s, u"原神"_s, u"王者荣耀"_s, u"和平精英"_s, u"Wi-Fi"_s,
        u"Bluetooth"_s, u"USB"_s, u"Type-C"_s, u"HDMI"_s, u"AirDrop"_s, u"Spotlight"_s, u"Siri"_s, u"Alfred"_s,
        u"Raycast"_s, u"Loom"_s, u"Zelk"_s, u"Grok Bot"_s, u"1Password"_s, u"Bitwarden"_s, u"Clash"_s, u"Surge"_s,
        u"Shadowrocket"_s, u"NAS"_s, u"群晖"_s, u"小米"_s, u"华为"_s, u"OPPO"_s, u"vivo"_s, u"荣耀"_s, u"一加"_s, u"大疆"_s,
        u"联想"_s, u"ThinkPad"_s, u"Dell"_s, u"Lenovo"_s, u"Sony"_s, u"Nintendo"_s, u"Tesla"_s, u"特斯拉"_s, u"比亚迪"_s,
        u"理想汽车"_s, u"蔚来"_s, u"小鹏"_s, u"问界"_s, u"Wikipedia"_s, u"Medium"_s, u"Substack"_s, u"Product Hunt"_s,
        u"Hacker News"_s, u"Stack Overflow"_s, u"V2EX"_s, u"CSDN"_s, u"掘金"_s, u"少数派"_s, u"Office 365"_s,
        u"Teams 会议"_s, u"Zoom 会议"_s, u"Google Meet"_s, u"FaceTime"_s, u"iMessage"_s, u"Apple Pay"_s,
        u"Google Maps"_s, u"Waze"_s, u"Kindle"_s
    };
    return list;
}

const QList<Alias>& aliases() {
    static const QList<Alias> list{
        {u"Chat GBT"_s, u"ChatGPT"_s},     {u"Chat GDP"_s, u"ChatGPT"_s}, {u"Deep Sick"_s, u"DeepSeek"_s},
        {u"Get Hub"_s, u"GitHub"_s},       {u"Git Hap"_s, u"GitHub"_s},   {u"Mid Journey"_s, u"Midjourney"_s},
    };
    return list;
}

const QList<Alias>& aliasesIfKnown() {
    // The product's own name is short and unusual; English recognisers tend to
    // write it as a near word or split it.
    static const QList<Alias> list{
        {u"Cloud Code"_s, u"Claude Code"_s}, {u"Cloud Desktop"_s, u"Claude Desktop"_s},
        {u"Zelke"_s, u"Zelk"_s},             {u"Zel K"_s, u"Zelk"_s},
        {u"Zelck"_s, u"Zelk"_s},             {u"Selk"_s, u"Zelk"_s},
    };
    return list;
}

const QHash<QString, QStringList>& aliasUnless() {
    static const QHash<QString, QStringList> table{
        {u"Zelk"_s,
         {u"博客"_s, u"博主"_s, u"视频"_s, u"拍"_s, u"剪辑"_s, u"vlogger"_s, u"手机"_s, u"拍照"_s, u"机型"_s, u"屏幕"_s, u"充电"_s, u"OPPO"_s,
          u"华为"_s, u"小米"_s, u"荣耀"_s, u"苹果"_s, u"自行车"_s, u"骑行"_s, u"文章"_s, u"YouTube"_s, u"B站"_s, u"小红书"_s, u"抖音"_s}},
    };
    return table;
}

} // namespace zelk::ProductLexiconData

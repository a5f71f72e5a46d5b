#include "CalendarEventParser.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

bool isWhite(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

bool isLineBreakChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

bool isWhiteOrBreak(QChar c)
{
    return isWhite(c) || isLineBreakChar(c) || c.category() == QChar::Separator_Line
        || c.category() == QChar::Separator_Paragraph;
}

template <typename Pred>
QString trimmed(const QString& s, Pred pred)
{
    qsizetype b = 0, e = s.size();
    while (b < e && pred(s.at(b)))
        ++b;
    while (e > b && pred(s.at(e - 1)))
        --e;
    return s.mid(b, e - b);
}

QString trimWhite(const QString& s) { return trimmed(s, isWhite); }
QString trimWhiteAndBreaks(const QString& s) { return trimmed(s, isWhiteOrBreak); }

// Positions between user-perceived characters, 0 and size() included.
QList<qsizetype> graphemeBounds(const QString& s)
{
    QList<qsizetype> bounds{0};
    if (s.isEmpty())
        return bounds;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    qsizetype p;
    while ((p = finder.toNextBoundary()) != -1)
        bounds.append(p);
    if (bounds.last() != s.size())
        bounds.append(s.size());
    return bounds;
}

qsizetype graphemeCount(const QString& s) { return graphemeBounds(s).size() - 1; }

// Cut at a character boundary so no surrogate pair is split.
QString capped(const QString& s)
{
    qsizetype n = CalendarEventParser::maxTextLength;
    if (s.size() <= n)
        return s;
    if (s.at(n - 1).isHighSurrogate())
        --n;
    return s.left(n);
}

struct KeywordPackage {
    const char16_t* keyword;
    const char16_t* package;
};

// Tried in this order; the first keyword found wins.
constexpr KeywordPackage kPackageKeywords[] = {
    {u"儿童", u"儿童写真"}, {u"亲子", u"亲子写真"}, {u"满月", u"满月照"},
    {u"百天", u"百天照"}, {u"周岁", u"周岁礼"}, {u"生日", u"生日跟拍"},
    {u"全家福", u"全家福"}, {u"外景", u"外景拍摄"}, {u"旅拍", u"旅拍"},
};

const KeywordPackage* packageKeywordIn(const QString& text)
{
    for (const KeywordPackage& kp : kPackageKeywords) {
        if (text.contains(QStringView(kp.keyword)))
            return &kp;
    }
    return nullptr;
}

const QStringList& stopWords()
{
    static const QStringList words = [] {
        static constexpr const char16_t* list[] = {
            u"性别", u"男", u"女", u"男孩", u"女孩", u"出生", u"生日日期", u"出生日期", u"年月日", u"出生年月日", u"喜好", u"喜欢", u"爱好", u"性格",
            u"特点", u"拍摄说明", u"备注说明", u"注意事项", u"温馨提示", u"妈妈", u"爸爸", u"家长", u"联系方式", u"麻烦", u"请", u"登记", u"信息",
            u"拍摄", u"宝宝", u"定金", u"谢谢", u"这边", u"给您", u"一下", u"不可退", u"支付", u"留下", u"您", u"您好", u"你好", u"亲", u"感谢",
            u"感谢您", u"感谢你", u"欢迎", u"欢迎您", u"咨询", u"了解", u"详情", u"详细", u"具体", u"联系", u"电话", u"手机", u"微信号", u"微信",
            u"地址", u"地点", u"位置", u"路线", u"导航", u"时间", u"日期", u"档期", u"预约", u"预订", u"套餐", u"套系", u"价格", u"费用", u"金额",
            u"收款", u"付款", u"转账", u"支付宝", u"确认", u"确定", u"提交", u"完成", u"成功", u"失败", u"错误", u"问题", u"疑问", u"帮助", u"支持",
            u"服务", u"客服", u"售后", u"退款", u"退货", u"换货", u"维修", u"保修", u"质保", u"说明", u"介绍", u"简介", u"规则", u"条款", u"协议",
            u"合同", u"约定", u"须知", u"注意", u"提醒", u"提示", u"警示", u"警告", u"危险", u"安全", u"防护", u"保护", u"隐私", u"保密", u"加密",
            u"授权", u"许可", u"权限", u"访问", u"登录", u"注册", u"账号", u"账户", u"密码", u"验证码", u"绑定", u"解绑", u"关联", u"取消", u"解除",
            u"开启", u"关闭", u"启用", u"禁用", u"激活", u"升级", u"更新", u"版本", u"系统", u"软件", u"应用", u"程序", u"工具", u"插件", u"扩展",
            u"功能", u"特性", u"亮点", u"优势", u"特色", u"风格", u"主题", u"样式", u"模板", u"布局", u"排版", u"设计", u"美工", u"视觉", u"界面",
            u"页面", u"窗口", u"对话框", u"弹窗", u"按钮", u"菜单", u"列表", u"表格", u"表单", u"输入", u"输出", u"选择", u"点击", u"触摸", u"滑动",
            u"拖拽", u"缩放", u"旋转", u"翻转", u"复制", u"粘贴", u"剪切", u"删除", u"添加", u"新建", u"创建", u"编辑", u"修改", u"保存", u"打开",
            u"导出", u"导入", u"分享", u"发送", u"接收", u"上传", u"下载", u"同步", u"备份", u"恢复", u"还原", u"重置", u"初始化", u"清空", u"清理",
            u"整理", u"排序", u"筛选", u"搜索", u"查找", u"定位", u"跳转", u"前进", u"后退", u"上一页", u"下一页", u"首页", u"末页", u"刷新",
            u"重载", u"加载", u"等待", u"处理", u"计算", u"分析", u"统计", u"汇总", u"合计", u"总计", u"小计", u"平均", u"最大", u"最小", u"总和",
            u"数量", u"成本", u"利润", u"收入", u"支出", u"余额", u"欠款", u"尾款", u"押金", u"租金", u"工资", u"奖金", u"补贴", u"福利", u"保险",
            u"社保", u"公积金", u"个税", u"税收", u"发票", u"收据", u"凭证", u"账单", u"报表", u"报告", u"总结", u"纪要", u"记录", u"日志", u"档案",
            u"文件", u"文档", u"资料", u"材料", u"图片", u"照片", u"视频", u"音频", u"压缩", u"解压", u"打包", u"拆分", u"合并", u"转换", u"格式",
            u"编码", u"解码", u"解密", u"签名", u"证书", u"密钥", u"用户", u"客户", u"会员", u"VIP", u"等级", u"积分", u"成长值", u"经验",
            u"头衔", u"称号", u"徽章", u"成就", u"任务", u"活动", u"奖励", u"礼品", u"优惠券", u"折扣", u"促销", u"特价", u"秒杀", u"团购", u"拼团",
            u"砍价", u"助力", u"邀请", u"推荐", u"返利", u"佣金", u"提成", u"分销", u"代理", u"加盟", u"合作", u"联营", u"战略", u"战术", u"策略",
            u"规划", u"计划", u"目标", u"目的", u"愿景", u"使命", u"价值观", u"文化", u"理念", u"精神", u"作风", u"传统", u"历史", u"发展", u"成长",
            u"壮大", u"扩张", u"版图", u"市场", u"行业", u"领域", u"产业", u"商业", u"商务", u"贸易", u"交易", u"买卖", u"购销", u"采购", u"销售",
            u"营销", u"推广", u"宣传", u"广告", u"公关", u"品牌", u"形象", u"口碑", u"声誉", u"信誉", u"信用", u"诚信", u"诚实", u"守信", u"可靠",
            u"靠谱", u"专业", u"专注", u"专心", u"用心", u"贴心", u"细心", u"耐心", u"热心", u"诚心", u"真心", u"暖心", u"舒心", u"安心", u"放心",
            u"省心", u"顺心", u"称心", u"如意", u"吉祥", u"好运", u"福气", u"喜气", u"财气", u"运气", u"人气", u"名气", u"声望", u"名望", u"名誉",
            u"荣誉", u"荣耀", u"光辉", u"辉煌", u"灿烂", u"绚丽", u"多彩", u"丰富", u"精彩", u"出色", u"优秀", u"卓越", u"杰出", u"非凡", u"独特",
            u"特别", u"特殊", u"个性", u"风味", u"韵味", u"情趣", u"趣味", u"乐趣", u"兴趣", u"喜爱", u"钟爱", u"热爱", u"酷爱", u"痴迷", u"沉迷",
            u"沉醉", u"陶醉", u"享受", u"体验", u"感受", u"感觉", u"感触", u"感悟", u"体会", u"心得", u"领悟", u"理解", u"明白", u"清楚", u"清晰",
            u"明确", u"确切", u"准确", u"正确", u"精准", u"精确", u"详尽", u"细致", u"细腻", u"入微", u"周到", u"周全", u"全面", u"完整", u"完善",
            u"完美", u"圆满", u"胜利", u"获胜", u"取胜", u"赢得", u"获得", u"得到", u"取得", u"收获", u"获取", u"接受", u"接纳", u"采纳", u"采用",
            u"使用", u"运用", u"利用", u"借助", u"凭借", u"依靠", u"依赖", u"依托", u"依仗", u"仰仗", u"仰赖", u"信赖", u"信任", u"相信", u"确信",
            u"肯定", u"认定", u"判定", u"判断", u"推断", u"推测", u"猜测", u"估计", u"估算", u"预算", u"核算"
        };
        QStringList out;
        for (const char16_t* w : list)
            out.append(QString::fromUtf16(w));
        return out;
    }();
    return words;
}

// Every token of every event is checked against 500 words: look only at the
// words that start with the character at hand.
bool containsStopWord(const QString& text)
{
    static const QHash<QChar, QStringList> byFirst = [] {
        QHash<QChar, QStringList> map;
        for (const QString& w : stopWords())
            map[w.at(0)].append(w);
        return map;
    }();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto it = byFirst.constFind(text.at(i));
        if (it == byFirst.constEnd())
            continue;
        const QStringView rest = QStringView(text).mid(i);
        for (const QString& w : *it) {
            if (rest.startsWith(w))
                return true;
        }
    }
    return false;
}

bool isSymbol(const QString& grapheme)
{
    const char32_t first = grapheme.at(0).isHighSurrogate() && grapheme.size() > 1
        ? QChar::surrogateToUcs4(grapheme.at(0), grapheme.at(1))
        : grapheme.at(0).unicode();
    switch (QChar::category(first)) {
    case QChar::Symbol_Math:
    case QChar::Symbol_Currency:
    case QChar::Symbol_Modifier:
    case QChar::Symbol_Other:
        return true;
    default:
        return false;
    }
}

// Emoji people put around a name ("‼️小明🌸").
const QSet<QString>& decorations(bool atStart)
{
    static const QSet<QString> bothEnds = [] {
        static constexpr char32_t single[] = {
            0x1F335, 0x1F9E9, 0x260E, 0x2B50, 0x1F31F, 0x2728, 0x1F495, 0x1F389, 0x1F38A, 0x1F44D, 0x1F44F,
            0x1F64F, 0x1F4AA, 0x1F525, 0x1F4AF, 0x2705, 0x274C, 0x2757, 0x2753, 0x1F4A1, 0x1F4CC, 0x1F4CD,
            0x1F4F7, 0x1F3AC, 0x1F3B5, 0x1F3B6, 0x1F340, 0x1F338, 0x1F33A, 0x1F33B, 0x1F339, 0x1F337,
            0x1F33C, 0x1F33D, 0x1F33E, 0x1F33F, 0x1F343, 0x1F342, 0x1F341, 0x1F331, 0x1F332, 0x1F333, 0x1F334,
        };
        QSet<QString> set;
        for (char32_t c : single)
            set.insert(QString::fromUcs4(&c, 1));
        static constexpr char32_t pairs[][2] = {{0x203C, 0xFE0F}, {0x270D, 0x1F3FB}, {0x2764, 0xFE0F}, {0x26A0, 0xFE0F}};
        for (const auto& p : pairs)
            set.insert(QString::fromUcs4(p, 2));
        return set;
    }();
    static const QSet<QString> startOnly = [] {
        QSet<QString> set = bothEnds;
        constexpr char32_t pepper[] = {0x1F336, 0xFE0F};
        set.insert(QString::fromUcs4(pepper, 2));
        return set;
    }();
    return atStart ? startOnly : bothEnds;
}

QString stripDecorations(QString value)
{
    while (!value.isEmpty()) {
        const QList<qsizetype> b = graphemeBounds(value);
        const QString first = value.left(b.at(1));
        if (!isSymbol(first) && !decorations(true).contains(first))
            break;
        value = trimWhite(value.mid(b.at(1)));
    }
    while (!value.isEmpty()) {
        const QList<qsizetype> b = graphemeBounds(value);
        const QString last = value.mid(b.at(b.size() - 2));
        if (!isSymbol(last) && !decorations(false).contains(last))
            break;
        value = trimWhite(value.left(b.at(b.size() - 2)));
    }
    return value;
}

// Labels are tried in list order; the first one present anywhere wins.
struct LabelHit {
    qsizetype start = -1;
    qsizetype valueStart = -1;
};

LabelHit firstLabel(const QString& text, std::initializer_list<const char16_t*> labels)
{
    for (const char16_t* label : labels) {
        const QStringView l(label);
        const qsizetype at = text.indexOf(l);
        if (at >= 0)
            return {at, at + l.size()};
    }
    return {};
}

// A labelled value runs to the first of `stops`; CR ends it as LF does, so
// events typed with CRLF line ends read the same.
QString valueUpTo(const QString& text, qsizetype from, QStringView stops)
{
    qsizetype end = from;
    while (end < text.size() && !stops.contains(text.at(end)))
        ++end;
    return text.mid(from, end - from);
}

QString firstLineOf(const QString& text)
{
    qsizetype end = 0;
    while (end < text.size() && !isLineBreakChar(text.at(end)))
        ++end;
    return text.left(end);
}

QRegularExpression pattern(const QString& p)
{
    return QRegularExpression(p, QRegularExpression::UseUnicodePropertiesOption);
}

std::optional<double> numberGreaterThanZero(const QString& text)
{
    const std::optional<double> v = CalendarEventParser::readNumber(text);
    if (v && *v > 0)
        return v;
    return std::nullopt;
}

}

std::optional<double> CalendarEventParser::readNumber(const QString& text)
{
    static const QRegularExpression decimal(
        QStringLiteral(R"(\A([+-]?)((?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?)\z)"));
    static const QRegularExpression hex(
        QStringLiteral(R"(\A([+-]?)0[xX]((?:[0-9a-fA-F]+\.?[0-9a-fA-F]*|\.[0-9a-fA-F]+)(?:[pP][+-]?[0-9]+)?)\z)"));
    // Every token of every event comes here: most start with no sign, digit
    // or point and can be no number, so spare them both patterns.
    const QChar first = text.isEmpty() ? QChar() : text.at(0);
    if (!(first.isDigit() && first.unicode() < 0x80) && first != u'+' && first != u'-' && first != u'.')
        return std::nullopt;
    auto read = [&](const QRegularExpressionMatch& m, std::chars_format format) -> std::optional<double> {
        const QByteArray body = m.captured(2).toLatin1();
        double value = 0;
        const auto [end, ec] = std::from_chars(body.constData(), body.constData() + body.size(), value, format);
        // Overflow is no number: "定金" and 400 digits must not become an
        // infinite deposit.
        if (ec != std::errc() || end != body.constData() + body.size() || !std::isfinite(value))
            return std::nullopt;
        return m.captured(1) == u"-" ? -value : value;
    };
    if (const auto m = decimal.match(text); m.hasMatch())
        return read(m, std::chars_format::general);
    if (const auto m = hex.match(text); m.hasMatch())
        return read(m, std::chars_format::hex);
    return std::nullopt;
}

bool CalendarEventParser::isOwnNotes(const std::optional<QString>& notes)
{
    return notes && firstLineOf(capped(*notes)).contains(u"-定金");
}

ParsedOrderFields CalendarEventParser::parse(const ShootEvent& event)
{
    ParsedOrderFields result;
    const QString notes = capped(event.notes.value_or(QString()));
    const QString title = capped(event.title);
    const QString location = capped(event.location.value_or(QString()));

    // The app's own notes: "name-phone-定金300" on the first line.
    if (isOwnNotes(notes)) {
        const QStringList pieces = firstLineOf(notes).split(QStringLiteral("-定金"));
        if (const auto deposit = readNumber(trimWhite(pieces.at(1))))
            result.depositAmount = *deposit;
        const QStringList head = pieces.at(0).split(u'-');
        result.customerName = trimWhite(head.at(0));
        if (head.size() >= 2) {
            const QString phone = trimWhite(head.at(1));
            if (!phone.isEmpty() && phone != u"无电话")
                result.phone = phone;
        }
        result.hasValidData = !result.customerName.isEmpty();
        return result;
    }

    QString text = title;
    if (!notes.isEmpty())
        text += u'\n' + notes;
    if (!location.isEmpty())
        text += u'\n' + location;

    if (text.contains(u"已付定金") || text.contains(u"定金已收"))
        result.status = OrderStatus::pendingShoot;

    text = extractPrefixedFields(text, result);

    static const QRegularExpression phonePattern = pattern(QStringLiteral(R"((\d{11}))"));
    if (const auto m = phonePattern.match(text); m.hasMatch()) {
        result.phone = m.captured(1);
        text.replace(result.phone, QStringLiteral(" "));
    }

    if (const KeywordPackage* kp = packageKeywordIn(text)) {
        result.packageType = QString::fromUtf16(kp->package);
        text.replace(QString::fromUtf16(kp->keyword), QStringLiteral(" "));
    }

    if (const auto deposit = extractDepositFromText(text))
        result.depositAmount = *deposit;

    static const QString separators = QStringLiteral("|、，,。. /\n\r\t()（）【】[]:：;；");
    QStringList candidates;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !separators.contains(text.at(i)))
            continue;
        const QString token = text.mid(start, i - start);
        start = i + 1;
        const QString t = trimWhite(token);
        if (t.isEmpty() || readNumber(t) || containsStopWord(t) || graphemeCount(t) < 2)
            continue;
        candidates.append(token);
    }

    if (result.customerName.isEmpty()) {
        for (qsizetype i = 0; i < candidates.size(); ++i) {
            const QString t = trimWhite(candidates.at(i));
            if (isValidName(t)) {
                result.customerName = t;
                candidates.removeAt(i);
                break;
            }
        }
    }

    const QString place = trimWhite(candidates.join(u' '));
    if (!place.isEmpty() && result.location.isEmpty() && graphemeCount(place) <= 50)
        result.location = place;

    result.hasValidData = !result.customerName.isEmpty();
    return result;
}

QString CalendarEventParser::extractPrefixedFields(const QString& input, ParsedOrderFields& result)
{
    // Every label ends in a colon; most free text has none.
    if (!input.contains(u'：') && !input.contains(u':'))
        return input;
    QString text = input;

    const LabelHit name = firstLabel(text, {u"姓名（小名）：", u"姓名(小名)：", u"宝宝姓名：", u"宝宝名字：", u"姓名：",
                                            u"名字：", u"小名：", u"姓名（小名）:", u"姓名(小名):", u"宝宝姓名:",
                                            u"宝宝名字:", u"姓名:", u"名字:", u"小名:", u"客户姓名：", u"客户姓名:"});
    if (name.start >= 0) {
        static const QStringList endWords = {QStringLiteral("性别"), QStringLiteral("电话"), QStringLiteral("手机"), QStringLiteral("出生"), QStringLiteral("生日"), QStringLiteral("套系"), QStringLiteral("套餐"),
                                             QStringLiteral("定金"), QStringLiteral("地点"), QStringLiteral("地址"), QStringLiteral("位置"), QStringLiteral("拍摄"), QStringLiteral("备注"), QStringLiteral("说明")};
        const QString rest = text.mid(name.valueStart);
        const QList<qsizetype> bounds = graphemeBounds(rest);
        qsizetype end = rest.size();
        for (qsizetype i = 0; i + 1 < bounds.size(); ++i) {
            const qsizetype at = bounds.at(i);
            // LF, CR and the CRLF pair all end the line.
            const QChar c = rest.at(at);
            const QStringView tail = QStringView(rest).mid(at);
            if (c == u'\n' || c == u'\r'
                || std::any_of(endWords.begin(), endWords.end(), [&](const QString& w) { return tail.startsWith(w); })) {
                end = at;
                break;
            }
        }
        const QString value = stripDecorations(trimWhiteAndBreaks(rest.left(end)));
        if (!value.isEmpty())
            result.customerName = value;
        text.replace(name.start, name.valueStart + end - name.start, QStringLiteral(" "));
    }

    const LabelHit phone = firstLabel(text, {u"电话：", u"联系电话：", u"手机号：", u"手机：", u"电话:", u"联系电话:",
                                             u"手机号:", u"手机:"});
    if (phone.start >= 0) {
        if (const auto number = extractPhoneFromText(text.mid(phone.valueStart))) {
            result.phone = *number;
            text.replace(*number, QStringLiteral(" "));
        }
    }

    const LabelHit package = firstLabel(text, {u"套系：", u"套餐：", u"套系类型：", u"套系:", u"套餐:", u"套系类型:"});
    if (package.start >= 0) {
        const QString value = trimWhite(valueUpTo(text, package.valueStart, u"\n\r ，,。|、/"));
        if (const KeywordPackage* kp = packageKeywordIn(value))
            result.packageType = QString::fromUtf16(kp->package);
    }

    const LabelHit place = firstLabel(text, {u"地点：", u"拍摄地点：", u"地址：", u"位置：", u"地点:", u"拍摄地点:",
                                             u"地址:", u"位置:"});
    if (place.start >= 0) {
        const QString value = trimWhite(valueUpTo(text, place.valueStart, u"\n\r|"));
        if (!value.isEmpty() && graphemeCount(value) <= 50)
            result.location = value;
    }
    return text;
}

std::optional<QString> CalendarEventParser::extractPhoneFromText(const QString& text)
{
    static const QRegularExpression phonePattern = pattern(QStringLiteral(R"((\d{11}))"));
    const QRegularExpressionMatch m = phonePattern.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1);
}

std::optional<double> CalendarEventParser::extractDepositFromText(const QString& text)
{
    static const QList<QRegularExpression> labelled = {
        pattern(QStringLiteral(R"(定金[：:]?\s*(\d+))")),
        pattern(QStringLiteral(R"(定金\s*(\d+)\s*[元块]?)")),
        pattern(QStringLiteral(R"(\(定金\s*(\d+)\s*[元块]?\))")),
        pattern(QStringLiteral(R"(（定金\s*(\d+)\s*[元块]?）)")),
    };
    static const QRegularExpression withCurrency = pattern(QStringLiteral(R"((?<!\d)(\d{1,4})\s*[元块])"));
    static const QRegularExpression bare = pattern(QStringLiteral(R"((?<!\d)(\d{1,4})(?!\d))"));

    for (const QRegularExpression& re : labelled) {
        if (const auto m = re.match(text); m.hasMatch()) {
            if (const auto v = numberGreaterThanZero(m.captured(1)))
                return v;
        }
    }
    if (const auto m = withCurrency.match(text); m.hasMatch()) {
        if (const auto v = numberGreaterThanZero(m.captured(1)))
            return v;
    }
    for (auto it = bare.globalMatch(text); it.hasNext();) {
        const auto v = numberGreaterThanZero(it.next().captured(1));
        // Four digits from 1900 to 2100 are a year, not an amount.
        if (v && (*v < 1900 || *v > 2100))
            return v;
    }
    return std::nullopt;
}

bool CalendarEventParser::isValidName(const QString& s)
{
    if (s.isEmpty() || readNumber(s))
        return false;
    const QString t = trimWhiteAndBreaks(s);
    const qsizetype n = graphemeCount(t);
    if (n < 2 || n > 20)
        return false;
    return !containsStopWord(t) && !packageKeywordIn(t);
}

// HTML of the service's pages.
#include "pages.h"

namespace tallyro::service::pages {

namespace {

QString u8(const char* text) {
    return QString::fromUtf8(text);
}

const char* const kStyle = R"css(
*{box-sizing:border-box}
html,body{margin:0;padding:0}
body{font-family:"Noto Sans CJK SC","Microsoft YaHei","PingFang SC","WenQuanYi Micro Hei",sans-serif;
  font-size:14px;line-height:1.7;color:#222;background:#f3f4f6}
a{color:#0a7bbf;text-decoration:none}
a:hover{text-decoration:underline}
.bar{background:#404040;color:#fff;padding:10px 16px;border-bottom:3px solid #00c8ff}
.bar b{font-size:17px;letter-spacing:1px}
.bar span{color:#bbb;font-size:12px;margin-left:8px}
.page{max-width:720px;margin:0 auto;padding:14px 16px 24px}
.card{background:#fff;border:1px solid #e1e3e6;border-radius:6px;padding:12px 16px;margin:0 0 12px}
h1{font-size:20px;margin:4px 0 10px}
h2{font-size:16px;margin:16px 0 6px;padding-left:8px;border-left:4px solid #00a8d8}
p{margin:6px 0}
ol,ul{margin:6px 0;padding-left:22px}
.muted{color:#777;font-size:12px}
.note{background:#fff8e1;border:1px solid #f3d98b;border-radius:4px;padding:6px 10px}
.error{background:#fdecea;border:1px solid #f5b5ae;border-radius:4px;padding:8px 12px;color:#9b1c12}
.ok{background:#e8f6ec;border:1px solid #a9dcb8;border-radius:4px;padding:8px 12px;color:#17602e}
.badge{display:inline-block;font-size:12px;line-height:18px;padding:0 6px;border-radius:3px;
  background:#ffb300;color:#3b2a00;margin-left:6px;vertical-align:middle}
.badge.grey{background:#ccc;color:#333}
.up{color:#d9363e}.down{color:#1a9a4a}
table{border-collapse:collapse;width:100%}
th,td{padding:5px 6px;border-bottom:1px solid #eceef0;text-align:left;vertical-align:top}
th{background:#f6f7f8;font-weight:600;color:#444}
td.num,th.num{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}
form label{display:block;margin:10px 0 4px;font-weight:600}
form input[type=text],form input[type=password]{width:100%;max-width:320px;padding:6px 8px;
  border:1px solid #c9ccd1;border-radius:4px;font-size:14px}
form button{margin-top:14px;padding:7px 22px;border:0;border-radius:4px;background:#404040;
  color:#fff;font-size:14px;cursor:pointer}
form button:hover{background:#262626}
code{background:#eef0f2;border-radius:3px;padding:1px 4px;font-size:13px}
footer{color:#999;font-size:12px;text-align:center;padding:8px 0 16px}
body.narrow{font-size:13px;background:#fff}
body.narrow .page{padding:8px 10px 16px}
body.narrow h1{font-size:17px}
body.narrow h2{font-size:14px}
body.narrow th,body.narrow td{padding:4px 3px}
)css";

enum class Frame { Site, Narrow };

QString layout(const QString& title, const QString& body, Frame frame = Frame::Site) {
    QString html = u8("<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                      "<title>") +
                   escape(title) + u8("</title><style>") + u8(kStyle) + u8("</style></head>");
    if (frame == Frame::Narrow) {
        html += u8("<body class=\"narrow\"><div class=\"page\">") + body + u8("</div>");
    } else {
        html += u8("<body><div class=\"bar\"><b>Tallyro</b><span>行情分析服务 · 本机替身"
                   "</span></div><div class=\"page\">") +
                body +
                u8("</div><footer>Tallyro 替身服务（tallyro-service）· 页面内容仅供演示与"
                   "参考，不构成投资建议</footer>");
    }
    return html + u8("</body></html>\n");
}

QString paragraphs(const QString& text) {
    QString out;
    for (const QString& line : text.split(u'\n')) {
        out += u8("<p>") + escape(line) + u8("</p>");
    }
    return out;
}

struct AnswerFields {
    QStringList fields;
    QString error;  // set when the payload is an error code or malformed
};

QString errorMeaning(const QString& payload) {
    if (payload == u8("ErrGpID")) {
        return u8("没有找到匹配的信息：服务的股票列表中没有这个代码。");
    }
    if (payload == u8("ErrGpMoney")) {
        return u8("股票停盘或服务器忙碌：服务暂时无法根据行情算出这只股票的压力位与支撑位。");
    }
    return {};
}

QString answerPage(const QString& payload, bool index) {
    const QString title = index ? u8("大盘分析结果") : u8("个股分析结果");
    const QString known = errorMeaning(payload);
    if (!known.isEmpty()) {
        return layout(title, u8("<h1>") + title + u8("</h1><p class=\"error\">") + escape(known) +
                                 u8("</p><p class=\"muted\">答复代码：<code>") + escape(payload) +
                                 u8("</code></p>"));
    }
    const QStringList f = payload.split(u'|');
    if (f.size() < (index ? 8 : 9)) {
        return layout(title, u8("<h1>") + title +
                                 u8("</h1><p class=\"error\">这个地址没有携带完整的分析结果。"
                                    "请在客户端中重新查询。</p>"));
    }
    const QString unit = index ? u8("点") : u8("元");
    const bool suspended = !index && f[4].isEmpty();
    const QStringList advice = f.size() > 8 ? f[8].split(u8("<br><br>")) : QStringList();
    const bool demo = !advice.isEmpty() && advice.first().contains(u8("【演示数据】"));
    QString badges;
    if (demo) {
        badges += u8("<span class=\"badge\">演示数据</span>");
    }
    if (suspended) {
        badges += u8("<span class=\"badge grey\">停牌</span>");
    }
    QString body = u8("<h1>") + escape(f[0]) + badges + u8("</h1>");
    body +=
        u8("<p class=\"muted\">查询时间：") + escape(f[1]) + u8(" ") + escape(f[2]) + u8("</p>");
    body += u8("<div class=\"card\"><table>");
    body += u8("<tr><th>上方压力位</th><td class=\"num up\">") + escape(f[3]) + u8(" ") + unit +
            u8("</td><td class=\"num up\">") +
            (suspended ? u8("—") : u8("+") + escape(f[4]) + u8("%")) + u8("</td></tr>");
    body += u8("<tr><th>") + (index ? u8("当前点位") : u8("当前价格")) +
            u8("</th><td class=\"num\">") + escape(f[5]) + u8(" ") + unit +
            u8("</td><td></td></tr>");
    body += u8("<tr><th>下方支撑位</th><td class=\"num down\">") + escape(f[6]) + u8(" ") + unit +
            u8("</td><td class=\"num down\">-") + escape(f[7]) + u8("%</td></tr>");
    body += u8("</table></div>");
    if (!advice.isEmpty()) {
        body += u8("<h2>操作建议</h2><div class=\"card\">");
        for (const QString& piece : advice) {
            const bool marked = piece.startsWith(u8("【演示数据】"));
            body += marked ? u8("<p class=\"note\">") : u8("<p>");
            body += escape(piece) + u8("</p>");
        }
        body += u8("</div>");
    }
    if (suspended) {
        body += u8("<p class=\"muted\">压力位百分比为空，表示该股票处于停牌中。</p>");
    }
    return layout(title, body);
}

}  // namespace

QString escape(const QString& text) {
    return text.toHtmlEscaped();
}

QString home(const HomeInfo& info) {
    QString samples;
    for (const QString& code : info.sampleCodes) {
        samples +=
            (samples.isEmpty() ? u8("") : u8("、")) + u8("<code>") + escape(code) + u8("</code>");
    }
    if (samples.isEmpty()) {
        samples = u8("无");
    }
    QString body = u8(R"(<h1>Tallyro 行情分析服务</h1>
<div class="card"><p>这是在本机运行的替身服务 <code>tallyro-service</code>，让 Tallyro 客户端不依赖远程服务器也能完整运行：
登录服务器（UDP）负责帐号登录、在线检测和消息推送，网页服务器负责分析结果、交易手册和选股页面。</p>
<p class="note">分析所用的行情：数据目录中有日线文件的代码使用这些文件；其余代码使用按代码生成的<b>演示数据</b>，
结果页面上会明确标出。</p></div>
<h2>帐号</h2><div class="card"><ul>
<li><a href="/Reg.asp">注册新帐号</a></li>
<li><a href="/BusinessRePass.asp">找回密码</a></li>
<li><a href="/Qelvix.exe">下载客户端</a></li></ul></div>
<h2>内容</h2><div class="card"><ul>
<li><a href="/Question.asp">交易手册</a>：压力位与支撑位、均线、仓位与风险</li>
<li><a href="/Computer.asp">选股</a>：关注列表中各股票的压力位与支撑位</li></ul></div>
<h2>运行状态</h2><div class="card"><table>)");
    body += u8("<tr><th>在线帐号</th><td class=\"num\">") + QString::number(info.signedIn) +
            u8("</td></tr><tr><th>股票列表</th><td class=\"num\">") + QString::number(info.stocks) +
            u8(" 只</td></tr><tr><th>有样本日线的代码</th><td class=\"num\">") + samples +
            u8("</td></tr><tr><th>登录端口（UDP）</th><td class=\"num\">") +
            QString::number(info.loginPort) +
            u8("</td></tr><tr><th>网页端口（HTTP）</th><td class=\"num\">") +
            QString::number(info.webPort) + u8("</td></tr></table></div>");
    return layout(u8("Tallyro 行情分析服务"), body);
}

QString adBanner() {
    return u8(R"(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>Tallyro</title><style>
html,body{margin:0;padding:0;width:220px;height:80px;overflow:hidden}
body{font-family:"Noto Sans CJK SC","Microsoft YaHei",sans-serif;background:#262626}
.b{width:220px;height:80px;padding:9px 12px;box-sizing:border-box;color:#fff;
  text-decoration:none;background:linear-gradient(135deg,#404040 0%,#262626 70%);
  border-left:4px solid #00c8ff}
.t{font-size:15px;font-weight:bold;letter-spacing:1px;line-height:22px}
.s{font-size:12px;color:#cfd8dc;line-height:18px}
.s em{font-style:normal;color:#ff6b6b}.s i{font-style:normal;color:#4cd07d}
.m{font-size:11px;color:#8a9499;line-height:16px}
</style></head><body><div class="b">
<div class="t">Tallyro 压力支撑分析</div>
<div class="s">输入代码，看<em>压力位</em>与<i>支撑位</i></div>
<div class="m">交易手册 · 选股 · 大盘分析</div>
</div></body></html>
)");
}

QString handbook() {
    return layout(u8("交易手册"), u8(R"(<h1>交易手册</h1>
<p class="muted">看懂压力位与支撑位，用好均线，管住仓位与风险。</p>

<h2>一、压力位与支撑位</h2>
<p>股价上涨途中卖盘集中、涨势受阻的价位叫<b class="up">压力位</b>；下跌途中买盘承接、跌势放缓的价位叫<b class="down">支撑位</b>。
它们不是一条精确的线，而是一个区域，反映的是市场参与者的成本和预期：</p>
<ul>
<li>在前期高点附近买入而被套的投资者，等股价回到成本附近时往往卖出解套，于是形成压力。</li>
<li>在前期低点附近买入获利的投资者，看到股价再次回落到那里时愿意再买，于是形成支撑。</li>
</ul>

<h2>二、怎样找出它们</h2>
<ol>
<li><b>前期高点与低点</b>：最常用的依据。离现价越近、形成时成交越活跃的高低点越重要。</li>
<li><b>成交密集区</b>：某个价格区间成交量特别大，说明大量筹码在那里换手，股价回到该区间时容易反复。</li>
<li><b>整数关口</b>：如10元、100元、上证指数3000点，常成为心理上的压力或支撑。</li>
<li><b>角色互换</b>：压力位被有效突破后常转为支撑位，支撑位被有效跌破后常转为压力位。
“有效”一般指收盘价连续三个交易日站稳，或突破幅度超过3%并伴随成交量放大。</li>
</ol>

<h2>三、本服务的计算方法</h2>
<p>取最近60个交易日的日线。某一天的最高价是前后各三天中最高的，并且高于前三天，记为一个<b>波段高点</b>；
最低价的情形与之相反，记为<b>波段低点</b>。</p>
<ul>
<li>压力位：现价上方最近的波段高点；没有时取60日最高价。</li>
<li>支撑位：现价下方最近的波段低点；没有时取60日最低价。</li>
<li>现价本身就是60日新高（或新低）时，按最近14日平均真实波幅的两倍向上（或向下）推算，至少相距1%。</li>
<li>百分比是价位与最新收盘价的距离。</li>
</ul>
<p>操作建议按现价在支撑位与压力位之间的位置给出：靠近支撑（下方四分之一）、靠近压力（上方四分之一）或处于中间，
并结合收盘价与20日均线的关系判断短期强弱。</p>

<h2>四、均线的用法</h2>
<p>均线是一段时间收盘价的平均值，可以看作这段时间买入者的平均成本。常用5日、30日、60日、130日（半年线）和250日（年线）。</p>
<ul>
<li>股价在均线上方时，均线往往起支撑作用；在均线下方时，均线往往起压力作用。</li>
<li>短期均线在上、长期均线在下依次排列（多头排列），说明趋势向上；反过来（空头排列）说明趋势向下。</li>
<li>压力位与支撑位相距较远时，中间的均线可以作为补充参照。</li>
<li>均线是滞后指标，在横盘震荡中会频繁给出错误信号，不宜单独使用。</li>
</ul>

<h2>五、仓位管理</h2>
<ol>
<li><b>分散</b>：单只股票的仓位不宜超过总资金的两成，同一行业不宜超过四成。</li>
<li><b>分批</b>：在支撑位附近分两到三次买入，每次确认支撑有效后再加，而不是一次满仓。</li>
<li><b>按风险定仓位</b>：先定止损，再算仓位。例如总资金10万元，每笔交易最多承受总资金1%即1000元的亏损；
买入价10元、止损价9.5元，每股风险0.5元，则最多买入2000股。</li>
<li><b>盈利加仓、亏损不加仓</b>：亏损时加仓摊低成本，常常把小亏损变成大亏损。</li>
</ol>

<h2>六、风险控制</h2>
<ol>
<li><b>事先设好止损</b>：一般设在支撑位下方2%到3%，收盘跌破就执行，不要心存侥幸。</li>
<li><b>止盈同样重要</b>：接近压力位时先卖出一部分锁定利润；突破压力位后用移动止损保护剩余仓位。</li>
<li><b>留意停牌、涨跌停与流动性</b>：停牌期间无法卖出，连续跌停时止损单可能无法成交。</li>
<li><b>价位只是参考</b>：本服务的价位与建议由历史行情按固定规则算出，不构成投资建议。股市有风险，入市需谨慎。</li>
</ol>
)"),
                  Frame::Narrow);
}

QString picking(const QList<PickRow>& rows, const QString& generatedAt) {
    QString body = u8(R"(<h1>选股</h1>
<p class="muted">关注列表中的股票按距离支撑位由近到远排列。<b>关注</b>表示现价靠近支撑位且收盘价在20日均线上方：
回踩支撑、趋势未坏，值得进一步研究。</p>)");
    if (rows.isEmpty()) {
        body += u8(
            "<p class=\"note\">关注列表是空的：请在数据目录的 watchlist.csv 中列出股票代码。</p>");
        return layout(u8("选股"), body, Frame::Narrow);
    }
    bool anyDemo = false;
    body +=
        u8("<table><tr><th>股票</th><th class=\"num\">现价</th><th class=\"num\">压力位</th>"
           "<th class=\"num\">支撑位</th><th>位置</th></tr>");
    for (const PickRow& row : rows) {
        anyDemo = anyDemo || row.demo;
        body += u8("<tr><td>") + escape(row.name) + (row.demo ? u8("<sup>*</sup>") : u8("")) +
                u8("<br><span class=\"muted\">") + escape(row.code) + u8("</span></td>");
        if (!row.problem.isEmpty()) {
            body +=
                u8("<td colspan=\"4\" class=\"muted\">") + escape(row.problem) + u8("</td></tr>");
            continue;
        }
        body += u8("<td class=\"num\">") + escape(row.close) + u8("</td>");
        body += u8("<td class=\"num up\">") + escape(row.pressure) +
                u8("<br><span class=\"muted\">+") + escape(row.pressurePercent) +
                u8("%</span></td>");
        body += u8("<td class=\"num down\">") + escape(row.support) +
                u8("<br><span class=\"muted\">-") + escape(row.supportPercent) +
                u8("%</span></td><td>");
        if (row.suspended) {
            body += u8("<span class=\"badge grey\">停牌</span>");
        } else {
            body += escape(row.position);
            if (row.position == u8("近支撑") && row.aboveAverage) {
                body += u8("<span class=\"badge\">关注</span>");
            }
        }
        body += u8("</td></tr>");
    }
    body += u8("</table>");
    if (anyDemo) {
        body +=
            u8("<p class=\"note\">* "
               "演示数据：服务没有这些代码的真实行情，价位由按代码生成的演示行情算出，"
               "仅供演示。</p>");
    }
    body += u8("<p class=\"muted\">生成时间：") + escape(generatedAt) +
            u8("。计算方法见交易手册第三节。</p>");
    return layout(u8("选股"), body, Frame::Narrow);
}

QString message(qint64 id, const QString& title, const QString& body, const QString& created) {
    // The popup shows this page in a frame of 240 x 135 pixels: keep it compact.
    return u8(R"(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>)") +
           escape(title) + u8(R"(</title><style>
html,body{margin:0;padding:0}
body{font-family:"Noto Sans CJK SC","Microsoft YaHei",sans-serif;font-size:12px;line-height:1.55;
  color:#222;background:#fff;padding:6px 8px}
h1{font-size:13px;margin:0 0 4px;color:#0a6d99}
p{margin:0 0 4px;word-wrap:break-word}
.m{color:#888;font-size:11px}
</style></head><body><h1>)") +
           escape(title) + u8("</h1>") + paragraphs(body) + u8("<p class=\"m\">消息 ") +
           QString::number(id) + u8(" · ") + escape(created) + u8("</p></body></html>\n");
}

QString messageNotFound(const QString& requestedId) {
    return u8(R"(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>消息不存在</title><style>
html,body{margin:0;padding:0}
body{font-family:"Noto Sans CJK SC","Microsoft YaHei",sans-serif;font-size:12px;line-height:1.55;
  color:#9b1c12;background:#fff;padding:6px 8px}
h1{font-size:13px;margin:0 0 4px}
</style></head><body><h1>消息不存在</h1><p>没有编号为“)") +
           escape(requestedId) +
           u8("”的消息。它可能已被删除，或者链接不完整。</p></body></html>\n");
}

QString registrationForm(const QString& name, const QString& problem) {
    QString body = u8("<h1>注册新帐号</h1>");
    if (!problem.isEmpty()) {
        body += u8("<p class=\"error\">") + escape(problem) + u8("</p>");
    }
    body += u8(R"(<div class="card"><form method="post" action="/Reg.asp" accept-charset="utf-8">
<label for="name">帐号</label>
<input type="text" id="name" name="name" maxlength="20" autocomplete="username" value=")") +
            escape(name) + u8(R"(" required>
<div class="muted">1到20个字符，不能包含“|”。帐号区分大小写。</div>
<label for="password">密码</label>
<input type="password" id="password" name="password" maxlength="64" autocomplete="new-password" required>
<label for="password2">再次输入密码</label>
<input type="password" id="password2" name="password2" maxlength="64" autocomplete="new-password" required>
<div><button type="submit">注册</button></div>
</form></div>
<p class="muted">服务只保存密码的摘要，不保存密码本身。注册成功后即可在客户端登录。</p>)");
    return layout(u8("注册新帐号"), body);
}

QString registrationDone(const QString& name) {
    return layout(u8("注册成功"), u8("<h1>注册成功</h1><p class=\"ok\">帐号“") + escape(name) +
                                      u8("”已经创建，现在可以在客户端登录了。</p>"
                                         "<p><a href=\"/\">返回首页</a></p>"));
}

QString passwordRecovery() {
    return layout(u8("找回密码"), u8(R"(<h1>找回密码</h1>
<div class="card"><p>这是在本机运行的替身服务：它<b>不能发送邮件或短信</b>，也没有客服人员，所以无法在网页上验证您的身份并找回密码。</p>
<p>服务只保存密码的摘要，原来的密码无法还原；只能由运行服务的人在命令行为帐号设一个新密码：</p>
<p><code>tallyro-service --set-password 帐号:新密码</code></p>
<p>命令修改的是服务的帐号数据库，不必停止正在运行的服务。之后用新密码在客户端登录即可。</p></div>
<p><a href="/">返回首页</a></p>)"));
}

QString packageMissing() {
    return layout(
        u8("客户端下载"),
        u8("<h1>客户端下载</h1><p class=\"error\">这台服务器上没有可供下载的客户端安装包。"
           "</p><p>运行服务时可以用 <code>--package 文件路径</code> 指定安装包。</p>"
           "<p><a href=\"/\">返回首页</a></p>"));
}

QString notFound(const QString& path) {
    return layout(u8("页面不存在"), u8("<h1>页面不存在</h1><p class=\"error\">服务器上没有“") +
                                        escape(path) +
                                        u8("”这个页面。</p><p><a href=\"/\">返回首页</a></p>"));
}

QString methodNotAllowed() {
    return layout(u8("不支持的请求"),
                  u8("<h1>不支持的请求</h1><p class=\"error\">这个页面不接受这种请求方式。</p>"));
}

QString bodyTooLarge() {
    return layout(u8("提交的内容过大"),
                  u8("<h1>提交的内容过大</h1><p class=\"error\">表单内容超过了允许的大小。</p>"
                     "<p><a href=\"/Reg.asp\">重新填写</a></p>"));
}

QString requestRefused(int status, const QString& reason) {
    return layout(u8("请求无法处理"), u8("<h1>请求无法处理</h1><p class=\"error\">") +
                                          QString::number(status) + u' ' + escape(reason) +
                                          u8("</p><p><a href=\"/\">返回首页</a></p>"));
}

QString redirectNotice(const QString& location) {
    return layout(u8("分析结果"),
                  u8("<p>分析结果在 <a href=\"") + escape(location) + u8("\">这里</a>。</p>"));
}

QString stockAnswer(const QString& payload) {
    return answerPage(payload, false);
}

QString indexAnswer(const QString& payload) {
    return answerPage(payload, true);
}

QString signedOutAnswer() {
    return layout(u8("没有分析结果"),
                  u8("<h1>没有分析结果</h1><p class=\"error\">发出查询的帐号当前没有在客户端登录，"
                     "服务不提供分析数据。</p><p>分析数据只提供给已经登录的帐号。登录可能已在别处"
                     "被顶替、因长时间没有回应而失效，或帐号已被停用。请在客户端重新登录，然后重新"
                     "查询。</p><p class=\"muted\">客户端对这个答复显示“股票停盘或服务器忙碌”。"
                     "答复代码：<code>ErrGpMoney</code></p>"));
}

}  // namespace tallyro::service::pages

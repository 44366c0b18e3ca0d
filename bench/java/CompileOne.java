import java.io.StringReader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.logging.Logger;
import javax.tools.JavaCompiler;
import javax.tools.ToolProvider;
import javax.xml.parsers.DocumentBuilderFactory;
import javax.xml.xpath.XPathFactory;
import org.w3c.dom.Document;
import org.xml.sax.InputSource;

/**
 * A class-heavy start (over 3,000 classes on JDK 17 and 25): read a settings document with DOM and
 * XPath, log a line, and compile one small source file with javac, in-process through javax.tools.
 */
public final class CompileOne {
    public static void main(String[] args) throws Exception {
        Document settings = DocumentBuilderFactory.newInstance().newDocumentBuilder()
                .parse(new InputSource(new StringReader("<build><source name='Sample'/></build>")));
        String name = XPathFactory.newInstance().newXPath().evaluate("/build/source/@name", settings);
        Logger.getLogger("build").fine(String.format("%s: compiling %s", java.time.format.DateTimeFormatter
                .ofPattern("yyyy-MM-dd HH:mm").format(java.time.ZonedDateTime.now()), name.replaceAll("[^A-Za-z]", "")));
        Path folder = Files.createTempDirectory("compile-one");
        Path source = folder.resolve(name + ".java");
        Files.writeString(source, "import java.util.*;\nimport java.util.function.*;\npublic class " + name + " {\n"
                + "    record Pair(String left, int right) {}\n"
                + "    public static void main(String[] a) { List<String> l = new ArrayList<>(List.of(a)); "
                + "Collections.sort(l); Function<String, Pair> f = s -> new Pair(s, s.length());\n"
                + "        Object o = l.isEmpty() ? null : f.apply(l.get(0));\n"
                + "        String d = switch (l.size()) { case 0 -> \"none\"; default -> { yield \"some\"; } };\n"
                + "        if (o instanceof Pair p) System.out.println(p.left() + d);\n"
                + "        System.out.println(l.stream().map(String::trim).count()); }\n}\n");
        JavaCompiler compiler = ToolProvider.getSystemJavaCompiler();
        int result = compiler.run(null, null, null, "-d", folder.toString(), source.toString());
        Files.deleteIfExists(folder.resolve(name + ".class"));
        Files.deleteIfExists(folder.resolve(name + "$Pair.class"));
        Files.delete(source);
        Files.delete(folder);
        System.exit(result);
    }
}
